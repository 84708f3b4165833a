# SPDX-License-Identifier: MIT
# Writes OUT: the worker's code (WORKER) and the compiled module (MODULE) as
# the body of one function, tamrikWorker, whose source the page starts as a
# Worker.
file(READ ${WORKER} worker)
file(READ ${MODULE} module)
file(WRITE ${OUT} "// SPDX-License-Identifier: MIT\n"
                  "// The listing worker. Built from src/web/worker.js and the compiled reader.\n"
                  "function tamrikWorker() {\n${worker}\n${module}\n}\n")
