// Authenticode signatures through Debian's osslsigncode: folio-pack signs a packaged
// executable after its package is appended (the certificate table then follows the
// package), and reads the signature back for verify.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace Folio::Pack {

struct TSignOptions {
    std::filesystem::path Cert;           // PEM or DER certificate (chain) file
    std::filesystem::path Key;            // its private key
    std::optional<std::string> Pass;      // the key's password
    std::optional<std::string> Timestamp; // an RFC 3161 time-stamping server's URL
};

// Signs the executable at input into output, a path where no file may stand (osslsigncode
// creates it), then checks that the package reads back from the signed file. EPackError
// when osslsigncode is missing or fails, or when the input is already signed.
void SignInto(const std::filesystem::path& input, const std::filesystem::path& output, const TSignOptions& options);

struct TSignatureCheck {
    bool Checked = false;           // osslsigncode could read the signature
    std::string Subject;            // the signer's certificate subject
    bool DigestMatches = false;     // the digest in the signature is the file's own
    bool ChainTrusted = false;      // osslsigncode's verdict with the system's CA list
    std::string Problem;            // why it was not checked
};

// Reads the signature of a signed file with osslsigncode verify.
TSignatureCheck CheckSignature(const std::filesystem::path& file);

// Runs a program found on PATH with the given arguments (no shell), its standard output
// and error collected into output. The exit code; -1 when the program was not found.
int RunProgram(const std::string& name, const std::vector<std::string>& args, std::string& output);

} // namespace Folio::Pack
