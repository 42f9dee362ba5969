#include "app/krovane.h"

#include "params/korvane_c_ini_reader.h"

DynamicRow Krovane::LoadIniParameters(const char* file) {
    DynamicRow result;
    result.fresh();
    Korvane_cIniReader reader;
    result = reader.LoadIni(file);
    // The copy is for people to read; a missing folder only means no copy.
    result.iSaveToFile(kLoadedParametersPath);
    return result;
}
