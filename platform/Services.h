#pragma once

#include <QString>
#include <functional>

namespace zk {

class Registry;
class Prompts;
class Shell;
class HelpViewer;
class MediaPlayer;
class PasswordStore;

// The platform services the program talks to. main() installs the real
// ones; tests install doubles. None is owned here.
struct Services {
    Registry *registry = nullptr;
    Prompts *prompts = nullptr;
    Shell *shell = nullptr;
    HelpViewer *help = nullptr;
    MediaPlayer *media = nullptr;
    PasswordStore *passwords = nullptr; // none: the password stays in the settings file
    // Full name of the user account, "" when not set.
    std::function<QString()> accountFullName;
};

Services &services();

// The full name from the account's passwd entry (GECOS, up to the first
// comma); "" where the platform keeps none.
QString systemAccountFullName();

} // namespace zk
