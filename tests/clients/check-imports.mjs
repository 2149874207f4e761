// Checks the BPMN files orvane writes back after reading one (NAME.input.bpmn read, NAME.bpmn
// written, in one folder with a manifest.json naming them):
//   documents: the output is schema-valid whenever the input is; bpmn-moddle reads it with no
//     warning the input does not give too; every element the input's diagram drew is drawn
//     (bar the reasons below), every DI element names an element, none is drawn twice in one
//     plane; bpmnlint's recommended rules report nothing they did not report for the input, and
//     its rule that every element has DI holds (bar the same reasons).
//   browser: bpmn-js imports it with no warning the input does not give, and shows every shape,
//     label and route of every plane (sub-processes included) where the document puts it.
//
//   node check-imports.mjs documents|browser SAMPLE_DIR
import { readFileSync } from 'node:fs';
import { join, dirname } from 'node:path';
import { spawnSync } from 'node:child_process';
import { fileURLToPath } from 'node:url';
import { createRequire } from 'node:module';
import { BpmnModdle } from 'bpmn-moddle';
import { launchChromium } from './loopback-chromium.mjs';
import { startViewerServer } from './viewer-server.mjs';

const require = createRequire(import.meta.url);
const { Linter } = require('bpmnlint');
const NodeResolver = require('bpmnlint/lib/resolver/node-resolver');

const here = dirname(fileURLToPath(import.meta.url));
const [kind, dir] = process.argv.slice(2);
const manifest = JSON.parse(readFileSync(join(dir, 'manifest.json'), 'utf8'));
const failures = [];
const fail = (name, message) => failures.push(`${name}: ${message}`);

// Elements a file draws that orvane's diagram has no place for, each with the reason.
const NOT_DRAWN = {
  // iGrafx joins each text annotation to two tasks; an annotation explains one shape.
  'export-A.1.2-iGrafx-FlowCharter-2013-15.1.1.1580': ['connector_IDAMROGE', 'connector_IDA0UOGE'],
  // The associations lead to the process's data input and output, which the file does not draw
  // (its edges end at other shapes).
  'reference-A.1.2': ['startEventDataOutputAssociation', 'endEventDataInputAssociation'],
};

// Flows bpmn-js cannot show: it draws a document's main plane before the planes of its
// sub-processes, so a message flow that ends inside a collapsed sub-process has no end yet.
const NOT_SHOWN_BY_BPMN_JS = {
  subprocesses: ['seat_request'],
};

const DRAWABLE = new Set([
  'bpmn:Participant', 'bpmn:Lane', 'bpmn:MessageFlow', 'bpmn:SequenceFlow', 'bpmn:Association',
  'bpmn:DataInputAssociation', 'bpmn:DataOutputAssociation', 'bpmn:DataObjectReference',
  'bpmn:DataStoreReference', 'bpmn:DataObject', 'bpmn:DataInput', 'bpmn:DataOutput',
  'bpmn:TextAnnotation', 'bpmn:Group',
]);
const drawable = (element) =>
  DRAWABLE.has(element.$type) || (element.$instanceOf && element.$instanceOf('bpmn:FlowNode'));

// The DI elements of every plane, by plane.
function planes(definitions) {
  return (definitions.diagrams || []).map((diagram) => diagram.plane.planeElement || []);
}

async function read(file) {
  return new BpmnModdle().fromXML(readFileSync(file, 'utf8'));
}

function schemaValid(file) {
  const schema = join(here, 'node_modules/bpmn-moddle/resources/bpmn/xsd/BPMN20.xsd');
  return spawnSync('xmllint', ['--noout', '--nonet', '--schema', schema, file]).status === 0;
}

// Every report of bpmnlint's recommended rules, as "rule id" texts. Rules keep state between
// runs, so every document gets a linter of its own.
async function lintReports(definitions) {
  const linter = new Linter({
    config: { extends: 'bpmnlint:recommended', rules: { 'no-bpmndi': 'error' } },
    resolver: new NodeResolver(),
  });
  const reports = await linter.lint(definitions);
  const out = new Map();
  for (const [rule, problems] of Object.entries(reports)) {
    for (const p of problems) out.set(`${rule} ${p.id}`, { rule, id: p.id, message: p.message });
  }
  return out;
}

async function checkDocument(entry) {
  const input = join(dir, `${entry.name}.input.bpmn`);
  const output = join(dir, `${entry.name}.bpmn`);
  if (schemaValid(input) && !schemaValid(output)) {
    fail(entry.name, 'the input is schema-valid, the output is not');
  }
  const before = await read(input);
  const after = await read(output);
  const known = new Set(before.warnings.map((w) => w.message));
  for (const warning of after.warnings) {
    if (!known.has(warning.message)) fail(entry.name, `bpmn-moddle warning: ${warning.message}`);
  }
  const drawnBefore = new Set();
  for (const plane of planes(before.rootElement)) {
    for (const di of plane) if (di.bpmnElement && drawable(di.bpmnElement)) drawnBefore.add(di.bpmnElement.id);
  }
  const drawnAfter = new Set();
  for (const plane of planes(after.rootElement)) {
    const here = new Set();
    for (const di of plane) {
      if (!di.bpmnElement) {
        fail(entry.name, `DI ${di.id} points at nothing`);
        continue;
      }
      const id = di.bpmnElement.id;
      if (here.has(id)) fail(entry.name, `${id} is drawn twice in one plane`);
      here.add(id);
      drawnAfter.add(id);
      if (di.$type === 'bpmndi:BPMNEdge' && (!di.waypoint || di.waypoint.length < 2)) {
        fail(entry.name, `edge ${di.id} has fewer than two waypoints`);
      }
    }
  }
  const excused = new Set(NOT_DRAWN[entry.name] || []);
  for (const id of drawnBefore) {
    if (!drawnAfter.has(id) && !excused.has(id)) fail(entry.name, `${id} is drawn in the input only`);
  }
  // The semantic part is the input's, so bpmnlint finds nothing the input did not give: a rule
  // that passed for the input passes for the output, and every element has DI.
  const linted = await lintReports(before.rootElement);
  for (const [key, report] of await lintReports(after.rootElement)) {
    if (report.rule === 'no-bpmndi' ? excused.has(report.id) : linted.has(key)) continue;
    fail(entry.name, `bpmnlint ${report.rule}: ${report.message} (${report.id})`);
  }
}

// Imports a document into the bpmn-js viewer: its warnings and every element's geometry.
async function importInViewer(page, xml) {
  return page.evaluate(async (text) => {
    document.getElementById('canvas').innerHTML = '';
    const viewer = new window.BpmnJS({ container: '#canvas' });
    const { warnings } = await viewer.importXML(text);
    const elements = viewer.get('elementRegistry').getAll().map((e) => ({
      id: e.id, x: e.x, y: e.y, width: e.width, height: e.height,
      waypoints: e.waypoints ? e.waypoints.map((p) => ({ x: p.x, y: p.y })) : null,
    }));
    viewer.destroy();
    return { warnings: warnings.map((w) => w.message), elements };
  }, xml);
}

async function checkInBrowser(page, entry) {
  const xml = readFileSync(join(dir, `${entry.name}.bpmn`), 'utf8');
  // An input without a diagram does not open at all; its warnings are then none.
  const before = await importInViewer(page, readFileSync(join(dir, `${entry.name}.input.bpmn`), 'utf8'))
    .catch(() => ({ warnings: [] }));
  const after = await importInViewer(page, xml);
  const known = new Set(before.warnings);
  const unshown = new Set(NOT_SHOWN_BY_BPMN_JS[entry.name] || []);
  const about = (warning) => [...unshown].some((id) => warning.includes(`id="${id}"`));
  for (const warning of after.warnings) {
    if (!known.has(warning) && !about(warning)) fail(entry.name, `bpmn-js warning: ${warning}`);
  }
  const shown = new Map(after.elements.map((e) => [e.id, e]));
  const close = (a, b) => Math.abs(a - b) <= 0.5;
  const { rootElement } = await new BpmnModdle().fromXML(xml);
  for (const plane of planes(rootElement)) {
    for (const di of plane) {
      const id = di.bpmnElement.id;
      const got = shown.get(id);
      if (unshown.has(id)) continue;
      if (!got) {
        fail(entry.name, `bpmn-js shows no element ${id}`);
      } else if (di.waypoint) {
        const same = got.waypoints && got.waypoints.length === di.waypoint.length &&
          got.waypoints.every((p, i) => close(p.x, di.waypoint[i].x) && close(p.y, di.waypoint[i].y));
        if (!same) fail(entry.name, `bpmn-js route of ${id} differs from the document`);
      } else if (!['x', 'y', 'width', 'height'].every((k) => close(got[k], di.bounds[k]))) {
        fail(entry.name, `bpmn-js bounds of ${id} ${JSON.stringify(got)} differ from the document`);
      }
    }
  }
}

if (kind === 'documents') {
  for (const entry of manifest) await checkDocument(entry);
} else if (kind === 'browser') {
  const server = await startViewerServer();
  const { context, close } = await launchChromium({ viewport: { width: 1600, height: 1000 } });
  try {
    const page = await context.newPage();
    const pageErrors = [];
    page.on('pageerror', (error) => pageErrors.push(error.message));
    await page.goto(`${server.base}/viewer.html`);
    for (const entry of manifest) await checkInBrowser(page, entry);
    for (const message of pageErrors) fail('bpmn-js page', message);
  } finally {
    await close();
    server.close();
  }
} else {
  console.error(`unknown check: ${kind}`);
  process.exit(2);
}

if (failures.length) {
  console.error(failures.join('\n'));
  console.error(`${failures.length} problem(s) in ${manifest.length} documents`);
  process.exit(1);
}
console.log(`${manifest.length} documents written back check out (${kind})`);
