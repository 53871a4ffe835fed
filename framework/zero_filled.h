#pragma once
// Puts a zero-filled buffer of static storage in the image's .bss, which takes no room in the
// file. GCC for Windows gives each variable of a -fdata-sections build a .data$ section of its
// own, zeros included, so an unmarked buffer is carried in the file byte for byte.
#define PT_ZERO_FILLED __attribute__((section(".bss")))
