#pragma once
// Texts shared by the resource script and the code; the build defines PT_VARIANT_64 or PT_VARIANT_32.
#include "product_version.h"  // PT_VERSION_MAJOR, PT_VERSION_MINOR, PT_VERSION_TEXT
#define PT_COMPANY_NAME "Zorvan Kettu"

#if defined(PT_VARIANT_64)
#define PT_INSTALLER_NAME "Pictarn 64-bit Installer"
#define PT_UNINSTALLER_NAME "Pictarn 64-bit Uninstaller"
#define PT_SETUP_FILE "pt_setup64.exe"
#elif defined(PT_VARIANT_32)
#define PT_INSTALLER_NAME "Pictarn 32-bit Installer"
#define PT_UNINSTALLER_NAME "Pictarn 32-bit Uninstaller"
#define PT_SETUP_FILE "pt_setup32.exe"
#else
#error "Define PT_VARIANT_64 or PT_VARIANT_32"
#endif
