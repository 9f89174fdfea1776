#pragma once

// The page of the main window that decides which machine is polled.
enum class TPage : int {
    None = -1,
    Cbr = 0,      // TabSheet1 "MARSHALL-CBR"
    Press = 1,    // TabSheet2 "ИЗМЕРВАНЕ"
    Settings = 2, // TabSheet3 "Настройки"
};
