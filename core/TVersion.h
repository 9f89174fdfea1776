#pragma once

// The program's version as it was built (git describe, or the project's
// version): the same text in the About box, in --version, in the package's
// name and with every run recorded.
extern const char NUV_VERSION[];
