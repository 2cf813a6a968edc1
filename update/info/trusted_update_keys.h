#pragma once
// The public keys whose signatures the client accepts on update information files. Built in:
// the build's development key, or for a release the keys the build was configured with. More
// than one during a key change, the old and the new.
#include <vector>

#include "update/info/ecdsa_p256.h"

const std::vector<EcdsaP256::PublicPoint>& TrustedUpdateKeys();
