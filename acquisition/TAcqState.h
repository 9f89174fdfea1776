#pragma once

#include <QString>
#include <QStringList>

// The acquisition thread's fields that the sample handlers work on. Every
// field starts at zero; the thread sets the run ids to -1 when it starts.
// The press's times (PrevTime, RunStartTime, TimeHistory) are read from the
// channel's steady time, which does not step when the computer's clock is set
// or changes to summer time, so the speeds taken between them stay sound.
struct TAcqState {
    QString Reply1;         // press reply, or the Marshall/CBR load reply
    QString Reply2;         // Marshall/CBR deformation reply
    double PrevValue = 0.0; // kN
    double PrevTime = 0.0;  // timestamp (days)
    double RunStartValue = 0.0;
    double RunStartTime = 0.0;
    int PressRunId = 0;
    int CbrRunId = 0;
    double StartDeformation = 0.0; // mm
    QStringList ValueHistory;      // last press loads, "0.00"
    QStringList TimeHistory;       // their timestamps, general text
    int ZeroSpanLoggedRun = 0;     // the run whose speed over 0 ms is already in the log
};
