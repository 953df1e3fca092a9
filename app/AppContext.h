// What the start-up routine hands to the main window and its pages.
#pragma once

#include <QString>

class DialogRunner;
class Feedback;
class Network;
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
    Network& network;      // built once per run from --network or the settings
    StartupFlags flags;
};
