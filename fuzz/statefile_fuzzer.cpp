// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

// Feeds arbitrary bytes to the state-file reader as if they were state.bin, then writes back
// what it read, as the wizard does on the next change. Seed it with a state file the wizard
// wrote (resources/state.bin) and give it statefile.dict.
#include "FuzzInput.h"

#include "session/StateFile.h"

using namespace inkveil;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = inputBytes(data, size);
    OverlayList overlays;
    auto options = std::make_shared<OutputOptions>();
    (void)StateFile::decode(bytes, overlays, options);
    const QByteArray written = StateFile::encode(overlays, *options);
    Q_UNUSED(written);
    return 0;
}
