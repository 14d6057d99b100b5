// The user's own key pair for open signatures, made on first use and kept in
// $XDG_DATA_HOME/Mirvanta/Varke-P/signing/: "signing.key" (the secret key, mode 0600,
// encrypted when the user gave a passphrase) and "signing.pub" (the public key to hand out).
#pragma once

#include "transfer/open_signature.h"

#include <optional>
#include <string>

namespace vark
{

std::string SigningFolder();
std::string SecretKeyPath();
std::string PublicKeyPath();

// The user's public key; nothing before the first signature made the pair.
std::optional<opensig::PublicKey> OwnPublicKey();
// Whether the secret key there is encrypted (false when there is none).
bool OwnKeyEncrypted();

struct OwnKey
{
    opensig::KeyPair pair;
    bool made = false; // made just now
};

// Reads the user's key pair with `passphrase`, or makes one when there is none (encrypted
// with `passphrase`, plain when it is empty). Nothing, with the reason in `error`, when the
// key cannot be read or written.
std::optional<OwnKey> LoadOrMakeSigningKey(const std::string& passphrase, std::string* error,
                                           opensig::KdfLimits limits = opensig::kDefaultLimits);

} // namespace vark
