#pragma once

#include "acquisition/TPage.h"

#include <QString>

// What the acquisition thread tells the window about the line, so that the
// operator always sees whether the program is acquiring.
struct TAcqStatus {
    enum class Kind {
        Polling,      // the port is open and the controller answers
        NoPort,       // the port label is no number or the port cannot be opened
        NoPermission, // the port's device is there but this user may not open it
        PortLost,     // the device went away; it is reopened once it returns
        NoReply,      // the port is open but the controller has not answered for a while
        Stopped,      // the thread ended by a failure
    };
    Kind kind = Kind::Polling;
    QString portCaption; // the port label's text ("3")
    TPage page = TPage::Press;
    int silentSeconds = 0; // NoReply: whole seconds since the last reply
    QString device;        // NoPermission: the device refused
    QString group;         // NoPermission: the group that may open it

    bool problem() const { return kind != Kind::Polling; }
    // The operator's text, in Bulgarian.
    QString text() const;
    // What to do about a device this user may not open: join its group and
    // log in again. In Bulgarian, with the command to type.
    static QString joinGroupAdvice(const QString& group);
};
