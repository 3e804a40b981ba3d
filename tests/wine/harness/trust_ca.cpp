// trust_ca CA.pem
//
// Adds the certificate in a PEM file to the "Root" store of the local machine
// and of the current user, so that WinInet accepts server certificates signed
// by it. A test tool for private Wine prefixes; exit code 0 when both stores
// hold the certificate, 1 otherwise (what failed is printed), 2 on bad usage.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

struct StoreCloser {
    void operator()(void* store) const { CertCloseStore(static_cast<HCERTSTORE>(store), 0); }
};
using Store = std::unique_ptr<void, StoreCloser>;

struct ContextFreer {
    void operator()(const CERT_CONTEXT* cert) const { CertFreeCertificateContext(cert); }
};
using Cert = std::unique_ptr<const CERT_CONTEXT, ContextFreer>;

bool read_der(const char* path, std::vector<BYTE>& der) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "trust_ca: cannot open %s\n", path);
        return false;
    }
    std::string pem((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    DWORD size = 0;
    if (!CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER,
                              nullptr, &size, nullptr, nullptr) || size == 0) {
        std::fprintf(stderr, "trust_ca: %s holds no PEM certificate (error %lu)\n", path, GetLastError());
        return false;
    }
    der.resize(size);
    if (!CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER,
                              der.data(), &size, nullptr, nullptr)) {
        std::fprintf(stderr, "trust_ca: cannot decode %s (error %lu)\n", path, GetLastError());
        return false;
    }
    der.resize(size);
    return true;
}

bool add_to_root(DWORD location, const char* name, const std::vector<BYTE>& der) {
    Store store(CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, location, L"Root"));
    if (!store) {
        std::fprintf(stderr, "trust_ca: cannot open the %s Root store (error %lu)\n", name, GetLastError());
        return false;
    }
    PCCERT_CONTEXT added = nullptr;
    if (!CertAddEncodedCertificateToStore(store.get(), X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, der.data(),
                                          static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING,
                                          &added)) {
        std::fprintf(stderr, "trust_ca: cannot add the certificate to the %s Root store (error 0x%08lx)\n",
                     name, GetLastError());
        return false;
    }
    Cert keep(added);
    std::printf("trust_ca: added to the %s Root store\n", name);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: trust_ca CA.pem\n");
        return 2;
    }
    std::vector<BYTE> der;
    if (!read_der(argv[1], der))
        return 1;
    bool machine = add_to_root(CERT_SYSTEM_STORE_LOCAL_MACHINE, "local machine", der);
    bool user = add_to_root(CERT_SYSTEM_STORE_CURRENT_USER, "current user", der);
    return machine && user ? 0 : 1;
}
