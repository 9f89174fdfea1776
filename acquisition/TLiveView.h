#pragma once

#include "core/TClock.h"

#include <QDateTime>
#include <QString>

enum class TReadout { Label11, Label12, Label18, Label15, Label16 };

// What the sample handlers need of the main window's live display.
class TLiveView {
public:
    virtual ~TLiveView() = default;
    virtual QString readoutText(TReadout r) const = 0;
    virtual void setReadoutText(TReadout r, const QString& text) = 0;
    virtual double zeroOffset() const = 0;
    virtual void AddPressPoints(double Value, double Speed) = 0;
    virtual void AddCbrPoints(double Value, double Deformation) = 0;
};
