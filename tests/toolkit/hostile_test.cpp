// Files that are not what they claim to be: a FIFO, a device, a folder, a
// file larger than anything the toolkit reads, key files whose derivation
// would run for hours. Each is refused at once with its status.
#include "fixtures.h"
#include "internal.h"
#include "otrx.h"
#include "testsupport.h"

#include <gtest/gtest.h>
#include <openssl/pkcs12.h>
#include <openssl/rand.h>

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <functional>

using testsupport::TempDir;

namespace {

struct Files {
    TempDir dir;
    std::string fifo = dir / "fifo";
    std::string zero = dir / "zero";
    std::string folder = dir / "folder";
    std::string bigSmall = dir / "big.der";
    std::string bigMessage = dir / "big.msg";
    Files() {
        EXPECT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        EXPECT_EQ(::symlink("/dev/zero", zero.c_str()), 0);
        EXPECT_EQ(::mkdir(folder.c_str(), 0700), 0);
        sparse(bigSmall, otrx::kMaxSmallFile + 1);
        sparse(bigMessage, otrx::kMaxMessageFile + 1);
    }
    static void sparse(const std::string& path, size_t size) {
        testsupport::writeFile(path, "");
        EXPECT_EQ(::truncate(path.c_str(), static_cast<off_t>(size)), 0);
    }
};

// A key file in an encryption scheme whose parameters are given; the
// encrypted bytes are never reached.
void writeSchemeKey(const std::string& path, X509_ALGOR* algorithm) {
    ASSERT_NE(algorithm, nullptr);
    X509_SIG* sig = X509_SIG_new();
    X509_ALGOR* own = nullptr;
    ASN1_OCTET_STRING* data = nullptr;
    X509_SIG_getm(sig, &own, &data);
    ASSERT_EQ(X509_ALGOR_copy(own, algorithm), 1);
    ASSERT_EQ(ASN1_OCTET_STRING_set(data, reinterpret_cast<const unsigned char*>("0123456789abcdef"),
                                    16),
              1);
    unsigned char* der = nullptr;
    const int n = i2d_X509_SIG(sig, &der);
    ASSERT_GT(n, 0);
    testsupport::writeFile(path, std::string(reinterpret_cast<char*>(der), static_cast<size_t>(n)));
    OPENSSL_free(der);
    X509_SIG_free(sig);
    X509_ALGOR_free(algorithm);
}

}  // namespace

TEST(HostileFiles, AreRefusedBeforeAnythingWaitsOrGrows) {
    Files f;
    const std::string keyPath = f.dir / "plain.key";
    fixtures::writeKey(keyPath, fixtures::makeRsaKey(1024), "", fixtures::KeyScheme::DerPkcs8);
    OTRX_PRIVATEKEY key{};
    ASSERT_EQ(OTRX_PRIVATEKEY_Create(&key), 0);
    ASSERT_EQ(OTRX_PRIVATEKEY_Read_File(&key, keyPath.c_str(), ""), 0);
    OTRX_CERTIFICATE cert{};
    ASSERT_EQ(OTRX_CERTIFICATE_Create(&cert), 0);
    const std::string out = f.dir / "out";
    using Read = std::function<int32_t(const std::string&)>;
    struct {
        const char* what;
        Read read;
        std::string tooLarge;
    } readers[] = {
        {"key", [&](const std::string& p) {
             OTRX_PRIVATEKEY k{};
             const int32_t s = OTRX_PRIVATEKEY_Read_File(&k, p.c_str(), "pw");
             (void)OTRX_PRIVATEKEY_Delete(&k);
             return s;
         }, f.bigSmall},
        {"certificate", [&](const std::string& p) {
             return OTRX_CERTIFICATE_Read_File(&cert, p.c_str());
         }, f.bigSmall},
        {"envelope", [&](const std::string& p) {
             return OTRX_PE_Decrypt_File(out.c_str(), p.c_str(), &key);
         }, f.bigMessage},
        {"signed data", [&](const std::string& p) {
             return OTRX_SG_VerifySignature_File(p.c_str());
         }, f.bigMessage},
        {"content to sign", [&](const std::string& p) {
             return OTRX_SG_MakeSignature_File(out.c_str(), p.c_str(), &key, &cert, 0);
         }, f.bigMessage},
        {"trust configuration", [&](const std::string& p) {
             OTRX_CERTIFICATE top{};
             return OTRX_USR_GetTopCert(&top, &cert, p.c_str());
         }, f.bigSmall},
    };
    ASSERT_EQ(OTRX_CERTIFICATE_Read_File(&cert, testsupport::realNpki("signCert.der").c_str()), 0);
    for (const auto& r : readers) {
        for (const std::string& path : {f.fifo, f.zero, f.folder, r.tooLarge}) {
            EXPECT_EQ(r.read(path), otrx::kFileUnreadable) << r.what << ": " << path;
        }
    }
    EXPECT_FALSE(testsupport::exists(out));
    (void)OTRX_CERTIFICATE_Delete(&cert);
    (void)OTRX_PRIVATEKEY_Delete(&key);
}

TEST(HostileFiles, KeyDerivationsOfEverySchemeAreBounded) {
    TempDir dir;
    unsigned char salt[8];
    ASSERT_EQ(RAND_bytes(salt, sizeof salt), 1);
    EVP_CIPHER* aes = EVP_CIPHER_fetch(nullptr, "AES-256-CBC", nullptr);
    struct {
        const char* what;
        X509_ALGOR* algorithm;
    } cases[] = {
        {"PBES2 with 2^31-1 PBKDF2 rounds",
         PKCS5_pbe2_set_iv(aes, INT_MAX, salt, sizeof salt, nullptr, NID_hmacWithSHA256)},
        {"PKCS#12 3DES with 2^31-1 rounds",
         PKCS5_pbe_set(NID_pbe_WithSHA1And3_Key_TripleDES_CBC, INT_MAX, salt, sizeof salt)},
        {"PBES2 with scrypt p=16000",
         PKCS5_pbe2_set_scrypt(aes, salt, sizeof salt, nullptr, 1UL << 14, 8, 16000)},
    };
    for (const auto& c : cases) {
        const std::string path = dir / "key.der";
        writeSchemeKey(path, c.algorithm);
        OTRX_PRIVATEKEY key{};
        ASSERT_EQ(OTRX_PRIVATEKEY_Create(&key), 0);
        EXPECT_EQ(OTRX_PRIVATEKEY_Read_File(&key, path.c_str(), "pw"), otrx::kKeyMalformed)
            << c.what;
        (void)OTRX_PRIVATEKEY_Delete(&key);
    }
    EVP_CIPHER_free(aes);
}
