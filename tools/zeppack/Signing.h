// The publisher's signature over the setup catalogue (zep.sif), which names
// the hashes of the sites list and of the package info files, so that the
// wizard can tell the publisher's site from one changed on its way.
// Native only: it needs libcrypto.
#pragma once
#include <string>
#include <vector>

// Writes a new ECDSA P-256 key to keyFile, never over an existing file, and
// prints its public point; the exit code.
int Keygen(const std::string& keyFile);

// Replaces the [Release] and [Hashes] sections of sifFile with the serial and
// the hashes of files, then writes sifFile.sig; the exit code.
int Sign(const std::string& serial, const std::string& keyFile, const std::string& sifFile,
         const std::vector<std::string>& files);
