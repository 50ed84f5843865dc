// CFITSIO's functions, the library loaded when a compressed frame (gzip, tile compression) is
// first read or the simulator writes one: a night of plain frames never loads it.
#include <fitsio.h>

#include "base/shared_library.h"

namespace {

// The library's run-time name, found by the build.
constexpr const char* kFits = ORVEL_CFITSIO_LIBRARY;

}  // namespace

// clang-format off
ORVEL_LIBRARY_FUNCTION(kFits, int, ffdkopn, (fitsfile** fptr, const char* filename, int iomode, int* status), (fptr, filename, iomode, status))
ORVEL_LIBRARY_FUNCTION(kFits, int, ffmahd, (fitsfile* fptr, int hdunum, int* exttype, int* status), (fptr, hdunum, exttype, status))
ORVEL_LIBRARY_FUNCTION(kFits, int, ffclos, (fitsfile* fptr, int* status), (fptr, status))
ORVEL_LIBRARY_FUNCTION(kFits, void, ffgerr, (int status, char* errtext), (status, errtext))
ORVEL_LIBRARY_FUNCTION(kFits, int, ffgpv, (fitsfile* fptr, int datatype, LONGLONG firstelem, LONGLONG nelem, void* nulval, void* array, int* anynul, int* status), (fptr, datatype, firstelem, nelem, nulval, array, anynul, status))
ORVEL_LIBRARY_FUNCTION(kFits, int, ffpscl, (fitsfile* fptr, double scale, double zeroval, int* status), (fptr, scale, zeroval, status))
ORVEL_LIBRARY_FUNCTION(kFits, int, ffdkinit, (fitsfile** fptr, const char* filename, int* status), (fptr, filename, status))
ORVEL_LIBRARY_FUNCTION(kFits, int, fits_set_compression_type, (fitsfile* fptr, int ctype, int* status), (fptr, ctype, status))
ORVEL_LIBRARY_FUNCTION(kFits, int, fits_img_compress, (fitsfile* infptr, fitsfile* outfptr, int* status), (infptr, outfptr, status))
// clang-format on
