#include "core/TVersion.h"

// Given to this file alone, so a new version compiles one file again.
const char NUV_VERSION[] = NUV_VERSION_TEXT;
