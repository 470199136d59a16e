#pragma once

#include <QString>

// The application object: start-up and exit around the one modal frame window.
class CMorvaneApp {
public:
    // Start-up, then the frame window until it is closed. Returns false: the program ends
    // when the window has closed.
    bool InitInstance();
    int ExitInstance();

    // The start-up before the window opens: the program folder (also made the current
    // directory, so the skin and the profiles are found whatever folder the program was started
    // from), the program's font and the skin.
    static void StartUp(const QString& programDir);
};
