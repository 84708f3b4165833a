# SPDX-License-Identifier: MIT
# Writes OUT: the messages' definitions (PROTOCOL), the worker's code
# (WORKER) and the compiled module (MODULE) as the body of one function,
# tamrikWorker, whose source the page starts as a Worker.
file(READ ${PROTOCOL} protocol)
file(READ ${WORKER} worker)
file(READ ${MODULE} module)
file(WRITE ${OUT} "// SPDX-License-Identifier: MIT\n"
                  "// The listing worker. Built from src/web/worker.js and the compiled reader.\n"
                  "function tamrikWorker() {\n${protocol}\n${worker}\n${module}\n}\n")
