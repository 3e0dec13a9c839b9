#pragma once

#include <QCollator>
#include <QString>

namespace korvanta {

// The order of the table lists: letter case ignored, accented letters among their base
// letters, as the user's language sorts them. Under the C locale (no language set)
// English rules stand in, which still place "Émile" among the E's.
class NameOrder {
  public:
    NameOrder();

    // Negative, zero or positive as a sorts before, with or after b.
    int Compare(const QString& a, const QString& b) const { return collator_.compare(a, b); }

  private:
    QCollator collator_;
};

}  // namespace korvanta
