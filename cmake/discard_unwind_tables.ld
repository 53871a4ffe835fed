/* Added to the linker's own script: the unwind tables that prebuilt library objects bring along
   (DWARF in 32-bit code, .pdata/.xdata in 64-bit code) are dropped, as the compiler writes none
   for the programs' own code. Nothing in them throws or walks the stack through them. */
SECTIONS
{
  /DISCARD/ : { *(.eh_frame*) *(.pdata*) *(.xdata*) }
}
INSERT AFTER .text;
