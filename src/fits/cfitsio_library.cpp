// CFITSIO's functions, the library loaded when a compressed frame (gzip, tile compression) is
// first read or the simulator writes one: a night of plain frames never loads it.
#include <fitsio.h>

#include "base/shared_library.h"

namespace {

// The library's run-time name, found by the build.
constexpr const char* kFits = ORVEL_CFITSIO_LIBRARY;

}  // namespace

// clang-format off
ORVEL_LIBRARY_FUNCTION(kFits, int, ffclos, (fitsfile* fptr, int* status), (fptr, status))
ORVEL_LIBRARY_FUNCTION(kFits, int, fffree, (void* value, int* status), (value, status))
ORVEL_LIBRARY_FUNCTION(kFits, void, ffgerr, (int status, char* errtext), (status, errtext))
ORVEL_LIBRARY_FUNCTION(kFits, int, ffgipr, (fitsfile* fptr, int maxaxis, int* imgtype, int* naxis, long* naxes, int* status), (fptr, maxaxis, imgtype, naxis, naxes, status))
ORVEL_LIBRARY_FUNCTION(kFits, int, ffgpv, (fitsfile* fptr, int datatype, LONGLONG firstelem, LONGLONG nelem, void* nulval, void* array, int* anynul, int* status), (fptr, datatype, firstelem, nelem, nulval, array, anynul, status))
ORVEL_LIBRARY_FUNCTION(kFits, int, ffhdr2str, (fitsfile* fptr, int exclude_comm, char** exclist, int nexc, char** header, int* nkeys, int* status), (fptr, exclude_comm, exclist, nexc, header, nkeys, status))
ORVEL_LIBRARY_FUNCTION(kFits, int, ffiopn, (fitsfile** fptr, const char* filename, int iomode, int* status), (fptr, filename, iomode, status))
ORVEL_LIBRARY_FUNCTION(kFits, int, ffpscl, (fitsfile* fptr, double scale, double zeroval, int* status), (fptr, scale, zeroval, status))
ORVEL_LIBRARY_FUNCTION(kFits, int, fits_is_compressed_image, (fitsfile* fptr, int* status), (fptr, status))
ORVEL_LIBRARY_FUNCTION(kFits, int, ffcpfl, (fitsfile* infptr, fitsfile* outfptr, int prev, int cur, int follow, int* status), (infptr, outfptr, prev, cur, follow, status))
ORVEL_LIBRARY_FUNCTION(kFits, int, ffinit, (fitsfile** fptr, const char* filename, int* status), (fptr, filename, status))
ORVEL_LIBRARY_FUNCTION(kFits, int, ffopentest, (int soname, fitsfile** fptr, const char* filename, int iomode, int* status), (soname, fptr, filename, iomode, status))
ORVEL_LIBRARY_FUNCTION(kFits, int, fits_img_compress, (fitsfile* infptr, fitsfile* outfptr, int* status), (infptr, outfptr, status))
// clang-format on
