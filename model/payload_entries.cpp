#include "model/payload_entries.h"

// In the archive's order: a folder comes before the files in it.
const PayloadItem kPayloadItems[] = {
#include "payload_entries.inc"
};
const int kPayloadItemCount = static_cast<int>(sizeof(kPayloadItems) / sizeof(kPayloadItems[0]));
