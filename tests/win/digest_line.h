#pragma once
// The line that ends the output of "7z e -scrcSHA256": the SHA-256 of the file extracted, here of
// n zero bytes, which is what the stand-in extracts.
#include <windows.h>
#include <wincrypt.h>
#include <stdio.h>

#include <string>

inline std::string digest_line(long long n)
{
    static const BYTE zeros[65536] = {};
    HCRYPTPROV provider;
    HCRYPTHASH hash;
    BYTE digest[32];
    DWORD size = sizeof digest;
    CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT);
    CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash);
    for (long long left = n; left > 0; left -= sizeof zeros)
        CryptHashData(hash, zeros, left < (long long)sizeof zeros ? (DWORD)left : sizeof zeros, 0);
    CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0);
    CryptDestroyHash(hash), CryptReleaseContext(provider, 0);
    std::string line = "\r\nSHA256 for data:              ";
    for (BYTE byte : digest) line += "0123456789abcdef"[byte >> 4], line += "0123456789abcdef"[byte & 15];
    return line + "\r\n";
}
