#pragma once

#include "acquisition/TRecorderObserver.h"
#include "db/TRecorder.h"

// The recording the main window hands to the sample handlers: runs and
// samples, the database id a run finally got, and a last try at closing.
class TRecording : public TRecorder {
public:
    // The database id of a run the handlers know by the id they were given
    // (the same id while it is not written yet).
    virtual int realId(int run) const = 0;
    // The last try when the program closes: up to budgetMs of writing; true
    // when nothing was left unwritten.
    virtual bool finish(int budgetMs) = 0;
    virtual void setObserver(TRecorderObserver* observer) = 0;
    // While the database refuses the recording, and what it said.
    virtual bool failing() const = 0;
    virtual QString cause() const = 0;
};
