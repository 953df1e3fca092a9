// What the start-up routine hands to the main window and its pages.
#pragma once

#include <QString>

class DialogRunner;
class Feedback;
class Settings;

struct StartupFlags {
    bool previouslyLoaded = false;
    bool passwordProtected = false;
    bool loginSucceeded = false;
};

struct AppContext {
    Settings& settings;
    Feedback& feedback;
    DialogRunner& dialogs; // every modal dialog the console opens
    QString programFolder; // holds Data/ and Help/
    QString networkSource; // --network value; empty: the default for the program folder
    StartupFlags flags;
};
