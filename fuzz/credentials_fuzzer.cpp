// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

// Feeds arbitrary bytes to the content-credentials reader as a whole image file, and to the
// JUMBF parser as a manifest store: a source's credentials are read from every photo signed
// runs open, so no store, however huge, deep or cut short, may crash, hang or exhaust memory.
#include "FuzzInput.h"

#include "credentials/CredentialReader.h"
#include "credentials/Jumbf.h"

using namespace inkveil;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = inputBytes(data, size);
    const Credentials found = CredentialReader::read(bytes);
    Q_UNUSED(found);
    const Result<Jumbf::Node> store = Jumbf::parse(bytes);
    Q_UNUSED(store);
    return 0;
}
