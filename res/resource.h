#pragma once
// Resource identifiers, shared by the resource script and the code.

#define IDS_EXIT 1
#define IDS_DONE 2
#define IDS_EXIT_SETUP 3
#define IDS_SETUP_TITLE 4
#define IDS_INVALID_DESTINATION 5
#define IDS_DESTINATION_DIRECTORY 6
#define IDS_CANT_INSTALL_ALL 7
#define IDS_INSTALLATION_FOLDER 8
#define IDS_ASSOCIATION_QUESTION 9
#define IDS_PRODUCT_RUNNING 10
#define IDS_CANT_CREATE_DESTINATION 11
#define IDS_SETTINGS_FOLDER_UNUSABLE 12

#define IDI_SETUP 111
#define IDB_LOGO 113
#define IDR_RELEASE_NOTES 217
#define IDR_PAYLOAD 1974

// Wizard page templates, in the order the sheet shows them: 101, 108, 104, 109, 110.
#define IDD_WELCOME 101
#define IDD_ASSOCIATIONS 104
#define IDD_WHATS_NEW 108
#define IDD_READY 109
#define IDD_FINISHED 110

// Welcome page.
#define IDC_FOLDER 1000
#define IDC_BROWSE 1009
#define IDC_DESKTOP_SHORTCUT 1011
#define IDC_THUMBS_SHORTCUT 1021
#define IDC_GROUP_SHORTCUTS 1012
#define IDC_CURRENT_USER 1016
#define IDC_ALL_USERS 1017
#define IDC_UNCHECK_ALL 1019
#define IDC_WELCOME_HEADLINE 1013
#define IDC_WELCOME_TEXT 1056
#define IDC_EULA_LINK 1045
// What's new page (the same id as the Welcome page's folder field, on another page).
#define IDC_RELEASE_NOTES 1000
// Associations page.
#define IDC_IMAGES_ONLY 1091
#define IDC_SELECT_ALL 1080
#define IDC_SELECT_NONE 1081
#define IDC_FORMAT_LIST 1579
#define IDC_ASSOC_ALL_USERS 1037
#define IDC_REGISTRY_ASSOC 3311
// Ready page.
#define IDC_READY_HEADLINE 1014
#define IDC_DESTINATION 1010
#define IDC_INI_IN_PRODUCT_FOLDER 1038
#define IDC_INI_IN_APPDATA 1039
#define IDC_INSTALLING 1044
// Finished page.
#define IDC_OPEN_FAQ 1022
#define IDC_START_PRODUCT 1020
#define IDC_FINISHED_HEADLINE 1015
