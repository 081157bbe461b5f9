// libSealkit.so as the viewer uses it: dlopen, then dlsym by exported name.
#pragma once

#include <dlfcn.h>

#include <cstdint>
#include <stdexcept>
#include <string>

namespace testsupport {

struct Sealkit {
    using Decrypt = int32_t (*)(const char*, const char*, const char*, const char*);
    using CertInfo2 = int32_t (*)(char*, char*, const char*, int32_t);
    using CertInfo = int32_t (*)(char*, char*, const char*, const char*, int32_t, const char*);
    using MakeEnc = int32_t (*)(const char*, const char*, const char*, const char*, const char*,
                                const char*, const char*);
    using MakeSig = int32_t (*)(const char*, const char*, const char*, const char*, const char*);
    using VerifySig = int32_t (*)(const char*, const char*, const char*, const char*, const char*,
                                  const char*);
    using SaveCard = uint32_t (*)(const char*, const char*);

    void* handle = nullptr;
    Decrypt decypt_File = nullptr;
    CertInfo2 getCertInfo2 = nullptr;
    CertInfo getCertInfo = nullptr;
    MakeEnc makeEnc_File = nullptr;
    MakeSig makeSig_File = nullptr;
    VerifySig verifySig_File = nullptr;
    SaveCard saveSmartCardKeyAndCertAsFile = nullptr;

    explicit Sealkit(const char* path = SEALKIT_LIBRARY) {
        handle = ::dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            throw std::runtime_error(std::string("dlopen: ") + ::dlerror());
        }
        bind(decypt_File, "decypt_File");
        bind(getCertInfo2, "getCertInfo2");
        bind(getCertInfo, "getCertInfo");
        bind(makeEnc_File, "makeEnc_File");
        bind(makeSig_File, "makeSig_File");
        bind(verifySig_File, "verifySig_File");
        bind(saveSmartCardKeyAndCertAsFile, "saveSmartCardKeyAndCertAsFile");
    }
    ~Sealkit() {
        if (handle != nullptr) {
            ::dlclose(handle);
        }
    }
    Sealkit(const Sealkit&) = delete;
    Sealkit& operator=(const Sealkit&) = delete;

private:
    template <typename F>
    void bind(F& function, const char* name) {
        void* symbol = ::dlsym(handle, name);
        if (symbol == nullptr) {
            throw std::runtime_error(std::string("dlsym: ") + name);
        }
        function = reinterpret_cast<F>(symbol);
    }
};

}  // namespace testsupport
