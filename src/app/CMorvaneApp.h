#pragma once

// The application object: start-up and exit around the one modal frame window.
class CMorvaneApp {
public:
    // Sets the program folder (and makes it the current directory), runs the frame window
    // until it is closed. Returns false: the program ends when the window has closed.
    bool InitInstance();
    int ExitInstance();
};
