#pragma once
// An elevated wizard must not hand its rights to the product's first run or to a browser: what
// it opens for the user is started by the desktop's own shell, as the user who is signed in.

// Asks the desktop's Explorer to open `file` with `parameters` (may be null); false when there is
// no desktop shell to ask (none running, another session) or it refused.
bool OpenThroughDesktopShell(const wchar_t* file, const wchar_t* parameters);

// True when this process may open things for the user itself: it has no administrator rights in
// force to pass on.
bool MayOpenWithOwnRights();

// Opens `file` as the signed-in user: as this process does when it may, else only through the
// desktop's shell; false when neither opened it (elevated, nothing is then started at all).
bool OpenAsSignedInUser(const wchar_t* file, const wchar_t* parameters);
