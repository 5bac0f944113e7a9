// Scope-bound owners for libgcrypt's objects, so that every early return of the
// signature code releases what it built.
#pragma once

#include <memory>
#include <string>
#include <type_traits>

#include <gcrypt.h>

namespace gcrypt_owners {

struct ReleaseMpi {
    void operator()(gcry_mpi_t m) const { gcry_mpi_release(m); }
};
struct ReleaseSexp {
    void operator()(gcry_sexp_t s) const { gcry_sexp_release(s); }
};
struct ReleaseContext {
    void operator()(gcry_ctx_t c) const { gcry_ctx_release(c); }
};
struct ReleasePoint {
    void operator()(gcry_mpi_point_t p) const { gcry_mpi_point_release(p); }
};
struct CloseDigest {
    void operator()(gcry_md_hd_t h) const { gcry_md_close(h); }
};

using Mpi = std::unique_ptr<std::remove_pointer_t<gcry_mpi_t>, ReleaseMpi>;
using Sexp = std::unique_ptr<std::remove_pointer_t<gcry_sexp_t>, ReleaseSexp>;
using Context = std::unique_ptr<std::remove_pointer_t<gcry_ctx_t>, ReleaseContext>;
using Point = std::unique_ptr<std::remove_pointer_t<gcry_mpi_point_t>, ReleasePoint>;
using Digest = std::unique_ptr<std::remove_pointer_t<gcry_md_hd_t>, CloseDigest>;

// An S-expression from `format` with one or two "%b" byte strings; empty when the
// library refuses to build it.
inline Sexp BuildSexp(const char* format, const std::string& a) {
    gcry_sexp_t built = nullptr;
    if (gcry_sexp_build(&built, nullptr, format, static_cast<int>(a.size()), a.data()) != 0) return Sexp();
    return Sexp(built);
}

inline Sexp BuildSexp(const char* format, const std::string& a, const std::string& b) {
    gcry_sexp_t built = nullptr;
    if (gcry_sexp_build(&built, nullptr, format, static_cast<int>(a.size()), a.data(), static_cast<int>(b.size()),
                        b.data()) != 0)
        return Sexp();
    return Sexp(built);
}

}  // namespace gcrypt_owners
