// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Validates the content credentials of the files given with the Content Authenticity
// Initiative's own reader (c2pa-rs built for WebAssembly), independent of Inkveil's code.
//   node validate.mjs [--trust ROOT.pem] FILE...
// Prints one JSON line a file: {"file", "state", "failures": [codes], "signer", "actions"}.
// "state" is the reader's validation state (Invalid, Valid, Trusted) or "None".
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { extname } from 'node:path';
import { initSync, WasmReader } from '@contentauth/c2pa-wasm';

const require = createRequire(import.meta.url);
initSync({ module: readFileSync(require.resolve('@contentauth/c2pa-wasm/c2pa.wasm')) });

const args = process.argv.slice(2);
let settings = null;
if (args[0] === '--trust') {
  const pem = readFileSync(args[1], 'utf8');
  settings = JSON.stringify({ trust: { trust_anchors: pem }, verify: { verify_trust: true } });
  args.splice(0, 2);
}
const types = { '.jpg': 'image/jpeg', '.jpeg': 'image/jpeg', '.png': 'image/png' };

for (const file of args) {
  const line = { file, state: 'None', failures: [] };
  try {
    const reader = await WasmReader.fromBytes(types[extname(file).toLowerCase()],
      new Uint8Array(readFileSync(file)), settings);
    const store = JSON.parse(reader.json());
    line.state = store.validation_state ?? 'Unknown';
    const results = store.validation_results?.activeManifest;
    line.failures = (results?.failure ?? []).map((f) => f.code);
    const active = store.manifests?.[store.active_manifest];
    line.signer = active?.signature_info?.common_name ?? active?.signature_info?.issuer;
    const actions = active?.assertions?.find((a) => a.label.startsWith('c2pa.actions'));
    line.actions = actions?.data?.actions?.map((a) => a.action) ?? [];
    line.ingredients = (active?.ingredients ?? []).map((i) => i.validation_results?.activeManifest
      ? 'manifest' : 'plain');
  } catch (error) {
    line.error = String(error?.message ?? error);
  }
  console.log(JSON.stringify(line));
}
