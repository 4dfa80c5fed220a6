#include "formats/cfitsio_library.h"

#include <dlfcn.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// The functions below stay inside the program (hidden), so that the library's calls among its
// own functions never come here.
#pragma GCC visibility push(hidden)
#include <fitsio.h>
#pragma GCC visibility pop

#ifndef ORV_CFITSIO_SONAME
#define ORV_CFITSIO_SONAME "libcfitsio.so"
#endif
#ifndef ORV_CFITSIO_PATH
#define ORV_CFITSIO_PATH ORV_CFITSIO_SONAME
#endif

// The CFITSIO functions the program calls that give a status: name, parameters, arguments.
#define ORV_CFITSIO_FUNCTIONS(X)                                                                  \
    X(ffclos, (fitsfile * fptr, int* status), (fptr, status))                                     \
    X(ffcnvthdr2str,                                                                              \
      (fitsfile * fptr, int exclude_comm, char** exclist, int nexc, char** header, int* nkeys,    \
       int* status),                                                                              \
      (fptr, exclude_comm, exclist, nexc, header, nkeys, status))                                 \
    X(ffcrim, (fitsfile * fptr, int bitpix, int naxis, long* naxes, int* status),                 \
      (fptr, bitpix, naxis, naxes, status))                                                       \
    X(ffcrtb,                                                                                     \
      (fitsfile * fptr, int tbltype, LONGLONG naxis2, int tfields, char** ttype, char** tform,    \
       char** tunit, const char* extname, int* status),                                           \
      (fptr, tbltype, naxis2, tfields, ttype, tform, tunit, extname, status))                     \
    X(ffdkopn, (fitsfile * *fptr, const char* filename, int iomode, int* status),                 \
      (fptr, filename, iomode, status))                                                           \
    X(ffflus, (fitsfile * fptr, int* status), (fptr, status))                                     \
    X(fffree, (void* value, int* status), (value, status))                                        \
    X(ffghadll,                                                                                   \
      (fitsfile * fptr, LONGLONG * headstart, LONGLONG * datastart, LONGLONG * dataend,           \
       int* status),                                                                              \
      (fptr, headstart, datastart, dataend, status))                                              \
    X(ffgidm, (fitsfile * fptr, int* naxis, int* status), (fptr, naxis, status))                  \
    X(ffgiprll,                                                                                   \
      (fitsfile * fptr, int maxaxis, int* imgtype, int* naxis, LONGLONG* naxes, int* status),     \
      (fptr, maxaxis, imgtype, naxis, naxes, status))                                             \
    X(ffgkey, (fitsfile * fptr, const char* keyname, char* keyval, char* comm, int* status),      \
      (fptr, keyname, keyval, comm, status))                                                      \
    X(ffgky,                                                                                      \
      (fitsfile * fptr, int datatype, const char* keyname, void* value, char* comm, int* status), \
      (fptr, datatype, keyname, value, comm, status))                                             \
    X(ffgpxvll,                                                                                   \
      (fitsfile * fptr, int datatype, LONGLONG* firstpix, LONGLONG nelem, void* nulval,           \
       void* array, int* anynul, int* status),                                                    \
      (fptr, datatype, firstpix, nelem, nulval, array, anynul, status))                           \
    X(ffhdr2str,                                                                                  \
      (fitsfile * fptr, int exclude_comm, char** exclist, int nexc, char** header, int* nkeys,    \
       int* status),                                                                              \
      (fptr, exclude_comm, exclist, nexc, header, nkeys, status))                                 \
    X(ffimem,                                                                                     \
      (fitsfile * *fptr, void** buffptr, size_t* buffsize, size_t deltasize,                      \
       void* (*mem_realloc)(void* p, size_t newsize), int* status),                               \
      (fptr, buffptr, buffsize, deltasize, mem_realloc, status))                                  \
    X(ffmcom, (fitsfile * fptr, const char* keyname, const char* comm, int* status),              \
      (fptr, keyname, comm, status))                                                              \
    X(ffmrhd, (fitsfile * fptr, int hdumov, int* exttype, int* status),                           \
      (fptr, hdumov, exttype, status))                                                            \
    X(ffpcl,                                                                                      \
      (fitsfile * fptr, int datatype, int colnum, LONGLONG firstrow, LONGLONG firstelem,          \
       LONGLONG nelem, void* array, int* status),                                                 \
      (fptr, datatype, colnum, firstrow, firstelem, nelem, array, status))                        \
    X(ffpcn,                                                                                      \
      (fitsfile * fptr, int datatype, int colnum, LONGLONG firstrow, LONGLONG firstelem,          \
       LONGLONG nelem, void* array, void* nulval, int* status),                                   \
      (fptr, datatype, colnum, firstrow, firstelem, nelem, array, nulval, status))                \
    X(ffpkls,                                                                                     \
      (fitsfile * fptr, const char* keyname, const char* value, const char* comm, int* status),   \
      (fptr, keyname, value, comm, status))                                                       \
    X(ffpky,                                                                                      \
      (fitsfile * fptr, int datatype, const char* keyname, void* value, const char* comm,         \
       int* status),                                                                              \
      (fptr, datatype, keyname, value, comm, status))                                             \
    X(ffpscl, (fitsfile * fptr, double scale, double zeroval, int* status),                       \
      (fptr, scale, zeroval, status))                                                             \
    X(ffrdef, (fitsfile * fptr, int* status), (fptr, status))                                     \
    X(fits_is_compressed_image, (fitsfile * fptr, int* status), (fptr, status))

namespace orv::formats {

namespace {

// The library and its functions, looked up once, the first time any of them is called.
struct Library {
#define ORV_MEMBER(name, params, args) decltype(&::name) name = nullptr;
    ORV_CFITSIO_FUNCTIONS(ORV_MEMBER)
#undef ORV_MEMBER
    decltype(&::ffcmsg) ffcmsg = nullptr;
    decltype(&::ffgerr) ffgerr = nullptr;
    std::string missing;  // why it could not be loaded
};

template <typename F>
bool find(void* handle, const char* name, F& function, std::string& missing) {
    function = reinterpret_cast<F>(dlsym(handle, name));
    if (!function && missing.empty())
        missing = std::string(ORV_CFITSIO_SONAME) + " に " + name + " がありません";
    return function != nullptr;
}

const Library& library() {
    static const Library loaded = [] {
        Library l;
        // By its name on the system's paths, else where the build found it.
        void* handle = dlopen(ORV_CFITSIO_SONAME, RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            const char* why = dlerror();
            l.missing = why ? why : ORV_CFITSIO_SONAME;
            handle = dlopen(ORV_CFITSIO_PATH, RTLD_NOW | RTLD_LOCAL);
            if (!handle) return l;
            l.missing.clear();
        }
#define ORV_FIND(name, params, args) find(handle, #name, l.name, l.missing);
        ORV_CFITSIO_FUNCTIONS(ORV_FIND)
#undef ORV_FIND
        find(handle, "ffcmsg", l.ffcmsg, l.missing);
        find(handle, "ffgerr", l.ffgerr, l.missing);
        // A library without one of the functions is not used at all.
        if (!l.missing.empty()) return Library{.missing = l.missing};
        return l;
    }();
    return loaded;
}

// A status that tells an error already is kept, as the library keeps it.
int missing(int* status) {
    if (*status <= 0) *status = kCfitsioMissing;
    return *status;
}

}  // namespace

bool loadCfitsio() {
    return library().missing.empty();
}

std::string cfitsioMissingMessage() {
    const std::string& why = library().missing;
    return why.empty() ? "" : "CFITSIO のライブラリーを読み込めません: " + why;
}

}  // namespace orv::formats

extern "C" {

#define ORV_FORWARD(name, params, args)                          \
    int name params {                                            \
        const auto real = orv::formats::library().name;          \
        return real ? real args : orv::formats::missing(status); \
    }
ORV_CFITSIO_FUNCTIONS(ORV_FORWARD)
#undef ORV_FORWARD

void ffcmsg(void) {
    if (const auto real = orv::formats::library().ffcmsg) real();
}

void ffgerr(int status, char* errtext) {
    if (const auto real = orv::formats::library().ffgerr;
        real && status != orv::formats::kCfitsioMissing)
        return real(status, errtext);
    std::strncpy(errtext, "CFITSIO could not be loaded", FLEN_STATUS - 1);
    errtext[FLEN_STATUS - 1] = '\0';
}

}  // extern "C"
