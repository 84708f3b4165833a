// SPDX-License-Identifier: MIT
// Writes the compiled module for the worker's script: its wasm deflated, in
// base64 (tamrikWasm), which the worker unpacks as it starts, then the
// module's loader. Plain base64 of the wasm would make the site half as
// large again. Usage: node pack_wasm.mjs WASM LOADER OUT
import fs from 'node:fs';
import zlib from 'node:zlib';

const [wasm, loader, out] = process.argv.slice(2);
const packed = zlib.deflateRawSync(fs.readFileSync(wasm), {level: 9}).toString('base64');
fs.writeFileSync(out, `var tamrikWasm = '${packed}';\n${fs.readFileSync(loader, 'utf8')}`);
