// Nothing is loaded at run time on the web: our MBROLA library is linked into the program,
// and the front end's binding finds its entry points here, under the library's file name.

#include "mbrola_standin/mbrola.h"
#include "platform/services/process.h"

namespace {

#define QUELVAR_ENTRY(name) \
  { #name, reinterpret_cast < void*>(&name) }
const platform::LinkedSymbol EntryPoints[] = {
    QUELVAR_ENTRY(init_MBR),           QUELVAR_ENTRY(init_rename_MBR), QUELVAR_ENTRY(write_MBR),
    QUELVAR_ENTRY(flush_MBR),          QUELVAR_ENTRY(read_MBR),        QUELVAR_ENTRY(readtype_MBR),
    QUELVAR_ENTRY(close_MBR),          QUELVAR_ENTRY(reset_MBR),       QUELVAR_ENTRY(lastError_MBR),
    QUELVAR_ENTRY(lastErrorStr_MBR),   QUELVAR_ENTRY(setNoError_MBR),  QUELVAR_ENTRY(getNoError_MBR),
    QUELVAR_ENTRY(setFreq_MBR),        QUELVAR_ENTRY(getFreq_MBR),     QUELVAR_ENTRY(setVolumeRatio_MBR),
    QUELVAR_ENTRY(getVolumeRatio_MBR), QUELVAR_ENTRY(getVersion_MBR),  QUELVAR_ENTRY(getDatabaseInfo_MBR),
    QUELVAR_ENTRY(setParser_MBR),      QUELVAR_ENTRY(init_Phone),      QUELVAR_ENTRY(reset_Phone),
    QUELVAR_ENTRY(close_Phone),        QUELVAR_ENTRY(appendf0_Phone),
};
#undef QUELVAR_ENTRY

[[maybe_unused]] const bool Registered = platform::RegisterLinkedLibrary("libquelvar_mbrola", EntryPoints);

}  // namespace
