#pragma once

#include <string>

namespace korvanta {

// Where a send writes down, as it goes, what a send carrying it on later must know: the
// moments after which a table is no longer untouched, and the moment it is finished. The
// command line keeps it in a state file; a front end that offers no resume keeps none.
// Called from the jobs' threads, several at once; a journal that fails to write keeps the
// failure for its owner to tell.
class SendJournal {
  public:
    virtual ~SendJournal() = default;
    // The target table for this source table is about to be made: from here on it may stand
    // there, made by this send.
    virtual void Creating(const std::string& source) = 0;
    // Rows are about to go into a table the target held already.
    virtual void Writing(const std::string& source) = 0;
    // Every row read and accounted for, every step made: a later resume leaves it as it is.
    virtual void Finished(const std::string& source) = 0;
};

}  // namespace korvanta
