#pragma once

#include <QString>

// A chart title is rich text: its lines become <br>, and its blanks are kept
// (the titles align their parts with runs of blanks). Centred.
QString chartTitleHtml(const QString& title);
