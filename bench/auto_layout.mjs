// Lays out a BPMN file without diagram interchange with bpmn-auto-layout (from the pinned test
// clients in tests/clients) and writes the result: the baseline of bench/scale_bench.sh.
//   node bench/auto_layout.mjs IN.bpmn OUT.bpmn
import { readFileSync, writeFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

const clients = join(dirname(fileURLToPath(import.meta.url)), '..', 'tests', 'clients');
const { layoutProcess } = await import(
  pathToFileURL(join(clients, 'node_modules', 'bpmn-auto-layout', 'dist', 'index.js')).href);

const [input, output] = process.argv.slice(2);
writeFileSync(output, await layoutProcess(readFileSync(input, 'utf8')));
