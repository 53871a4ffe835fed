#pragma once
// Which of the install's shortcut choices were made, and for whom.

struct ShortcutChoices {
    bool group = false;
    bool desktop = false;
    bool thumbnails = false;
    bool allUsers = false;  // the common Start menu and desktop instead of the user's
};
