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

#define IDI_SETUP 111
#define IDB_LOGO 113
#define IDR_RELEASE_NOTES 217
#define IDR_PAYLOAD 1974
