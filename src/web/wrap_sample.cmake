# SPDX-License-Identifier: MIT
# Writes OUT: the sample image (SAMPLE) as a script for "Try the sample", as
# the page cannot fetch a file of its own from file://. Only the bytes up to
# the last one that is not zero are carried, as hex.
file(READ ${SAMPLE} hex HEX)
file(SIZE ${SAMPLE} size)
# Whole zero bytes only: a hex text has even length, so a match of pairs at
# its end starts at an even place.
string(REGEX REPLACE "(00)+$" "" hex "${hex}")
file(WRITE ${OUT} "// SPDX-License-Identifier: MIT\n"
                  "// The sample image, built from samples/sample.lif.\n"
                  "function tamrikSampleImage() {\n"
                  "  const hex = '${hex}';\n"
                  "  const bytes = new Uint8Array(${size});\n"
                  "  for (let i = 0; i < hex.length / 2; i++) bytes[i] = parseInt(hex.substr(2 * i, 2), 16);\n"
                  "  return bytes;\n"
                  "}\n")
