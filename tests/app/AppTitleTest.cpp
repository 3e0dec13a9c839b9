#include <gtest/gtest.h>

#include "app/AppTitle.h"

using korvanta::AppTitleFor;

TEST(AppTitle, KeepsShortNamesAndDropsWholeWordsFromLongOnes) {
    EXPECT_EQ(AppTitleFor("Korvanta"), "Korvanta");
    const QString forty(40, 'x');
    EXPECT_EQ(AppTitleFor(forty), forty);
    // 46 characters lose the last word, leaving 39.
    EXPECT_EQ(AppTitleFor("Alpha Beta Gamma Delta Epsilon Zeta Eta Theta"),
              "Alpha Beta Gamma Delta Epsilon Zeta Eta");
    // A comma left at the new end stays.
    EXPECT_EQ(AppTitleFor("Alpha Beta Gamma Delta Epsilon Zeta Eta, Theta"),
              "Alpha Beta Gamma Delta Epsilon Zeta Eta,");
    // No blank to cut at: cut at 40 rather than loop for ever.
    EXPECT_EQ(AppTitleFor(QString(50, 'y')), QString(40, 'y'));
}
