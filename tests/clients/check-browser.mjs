// Opens the exported documents in real clients inside headless Chromium: the bpmn-js viewer
// (example and hand-built diagrams: import without warnings, element bounds and routes equal
// to the document's) and the draw.io application's own renderer (every drawio file: expected
// numbers of vertices and edges, no dangling parent, source or target, every vertex inside its
// container, every cell drawn, no name beside a shape over an edge's label). Pages come from a
// loopback server started here; every other address is blocked.
//
//   node check-browser.mjs SAMPLE_DIR [SCREENSHOT_DIR]
import { readFileSync, mkdirSync } from 'node:fs';
import { join } from 'node:path';
import { launchChromium } from './loopback-chromium.mjs';
import { startViewerServer } from './viewer-server.mjs';
import { BpmnModdle } from 'bpmn-moddle';
import { drawioId, expectedDrawioStyles, expectedForm, ncName } from './expectations.mjs';

const sampleDir = process.argv[2];
const screenshotDir = process.argv[3];
const manifest = JSON.parse(readFileSync(join(sampleDir, 'manifest.json'), 'utf8'));
const failures = [];
const fail = (name, message) => failures.push(`${name}: ${message}`);

const { base, close: stopServer } = await startViewerServer();

const { context, blocked, close } = await launchChromium({ viewport: { width: 1600, height: 1000 } });

async function checkBpmn(page, entry) {
  const xml = readFileSync(join(sampleDir, `${entry.name}.bpmn`), 'utf8');
  const { rootElement } = await new BpmnModdle().fromXML(xml);
  const expected = new Map();
  for (const di of rootElement.diagrams[0].plane.planeElement) {
    const id = di.bpmnElement.id;
    if (di.bounds) expected.set(id, di.bounds);
    if (di.label && di.label.bounds) expected.set(`${id}_label`, di.label.bounds);
    if (di.waypoint) expected.set(id, { waypoints: di.waypoint.map((p) => ({ x: p.x, y: p.y })) });
  }
  const result = await page.evaluate(async (text) => {
    document.getElementById('canvas').innerHTML = '';
    const viewer = new window.BpmnJS({ container: '#canvas' });
    window.viewer = viewer;
    const { warnings } = await viewer.importXML(text);
    const elements = viewer.get('elementRegistry').getAll().map((e) => ({
      id: e.id, type: e.type, x: e.x, y: e.y, width: e.width, height: e.height,
      waypoints: e.waypoints ? e.waypoints.map((p) => ({ x: p.x, y: p.y })) : null,
      source: e.source ? e.source.id : null, target: e.target ? e.target.id : null,
    }));
    return { warnings: warnings.map((w) => w.message), elements };
  }, xml);
  for (const warning of result.warnings) fail(entry.name, `bpmn-js warning: ${warning}`);
  const drawn = new Map(result.elements.map((e) => [e.id, e]));
  // Every shape of an example is in bpmn-js's element registry with the type it was written as.
  for (const shape of entry.shapes || []) {
    const form = expectedForm(shape.kind);
    const got = drawn.get(ncName(shape.id));
    if (!got) {
      fail(entry.name, `bpmn-js registry has no ${shape.kind} ${shape.id}`);
    } else if (form && !form.types.includes(got.type)) {
      fail(entry.name, `bpmn-js shows ${shape.id} as ${got.type}, expected ${form.types}`);
    }
  }
  // Every flow of an example is drawn between its ends with the type it was written as (a
  // data link is an input or output association, whichever way it runs).
  const FLOW_TYPES = {
    sequence: ['bpmn:SequenceFlow'], message: ['bpmn:MessageFlow'],
    association: ['bpmn:Association'],
    data: ['bpmn:DataInputAssociation', 'bpmn:DataOutputAssociation'],
  };
  for (const flow of entry.flows || []) {
    const from = ncName(flow.from);
    const to = ncName(flow.to);
    const types = FLOW_TYPES[flow.type];
    const found = result.elements.some((e) => types && types.includes(e.type) &&
      ((e.source === from && e.target === to) || (flow.type === 'data' && e.source === to && e.target === from)));
    if (!found) fail(entry.name, `bpmn-js shows no ${flow.type} flow ${flow.from} -> ${flow.to}`);
  }
  const close = (a, b) => Math.abs(a - b) <= 0.5;
  for (const [id, want] of expected) {
    const got = drawn.get(id);
    if (!got) {
      fail(entry.name, `bpmn-js shows no element ${id}`);
    } else if (want.waypoints) {
      const same = got.waypoints && got.waypoints.length === want.waypoints.length &&
        got.waypoints.every((p, i) => close(p.x, want.waypoints[i].x) && close(p.y, want.waypoints[i].y));
      if (!same) fail(entry.name, `bpmn-js route of ${id} differs from the document`);
    } else if (!(id.endsWith('_label') ? ['x', 'y', 'width'] : ['x', 'y', 'width', 'height'])
      .every((k) => close(got[k], want[k]))) {
      // bpmn-js fits a label's height to its own text measurement; the rest must match.
      fail(entry.name, `bpmn-js bounds of ${id} ${JSON.stringify(got)} differ from ${JSON.stringify(want)}`);
    }
  }
}

// Renders one drawio document with draw.io's export page and inspects the resulting graph.
async function checkDrawio(page, entry) {
  const xml = readFileSync(join(sampleDir, `${entry.name}.drawio`), 'utf8');
  // Both documents share element ids: draw.io must show the names the BPMN document carries.
  const { rootElement } = await new BpmnModdle().fromXML(
    readFileSync(join(sampleDir, `${entry.name}.bpmn`), 'utf8'));
  const names = {};
  const collect = (element) => {
    if (!element || typeof element !== 'object' || !element.$type) return;
    if (element.id && element.name && element.$type !== 'bpmn:Process') {
      names[drawioId(element.id)] = element.name;
    }
    // A collapsed sub-process's inner flow has no place in the drawio document.
    if (element.$instanceOf && element.$instanceOf('bpmn:SubProcess')) return;
    for (const key of ['rootElements', 'participants', 'messageFlows', 'flowElements', 'laneSets',
      'lanes', 'artifacts']) {
      (element[key] || []).forEach(collect);
    }
  };
  collect(rootElement);
  const report = await page.evaluate(async ([text, names]) => {
    const graph = window.render({ xml: text, format: 'png', w: 0, h: 0, border: 10, scale: 1 });
    for (let i = 0; i < 200 && !document.getElementById('LoadingComplete'); ++i) {
      await new Promise((resolve) => setTimeout(resolve, 25));
    }
    const problems = [];
    if (!document.getElementById('LoadingComplete')) problems.push('rendering did not finish');
    const model = graph.getModel();
    const cells = Object.values(model.cells);
    const vertices = cells.filter((c) => c.vertex);
    const edges = cells.filter((c) => c.edge);
    const source = new DOMParser().parseFromString(text, 'application/xml');
    for (const node of source.getElementsByTagName('mxCell')) {
      const id = node.getAttribute('id');
      const cell = model.getCell(id);
      if (!cell) {
        problems.push(`cell ${id} was not loaded`);
        continue;
      }
      for (const key of ['parent', 'source', 'target']) {
        const ref = node.getAttribute(key);
        if (ref === null) continue;
        const linked = key === 'parent' ? cell.parent : cell[key];
        if (!model.getCell(ref) || !linked || linked.id !== ref) {
          problems.push(`cell ${id} has a missing ${key} ${ref}`);
        }
      }
    }
    for (const cell of vertices) {
      const parent = cell.parent;
      const geometry = cell.geometry;
      if (!geometry) {
        problems.push(`vertex ${cell.id} has no geometry`);
        continue;
      }
      if (parent && parent.geometry && parent.vertex) {
        const box = parent.geometry;
        const inside = geometry.x >= -0.5 && geometry.y >= -0.5 &&
          geometry.x + geometry.width <= box.width + 0.5 &&
          geometry.y + geometry.height <= box.height + 0.5;
        if (!inside) problems.push(`vertex ${cell.id} lies outside its container ${parent.id}`);
      }
    }
    for (const [id, name] of Object.entries(names)) {
      const cell = model.getCell(id);
      const state = cell && graph.view.getState(cell);
      const shown = state && state.text && state.text.node
        ? state.text.node.textContent.replace(/\u00a0/g, ' ') : null;
      // A line break is markup in the label, so it has no text of its own.
      if (shown !== name.replace(/\r?\n/g, '')) {
        problems.push(`cell ${id} shows ${JSON.stringify(shown)} instead of ${JSON.stringify(name)}`);
      }
    }
    for (const cell of [...vertices, ...edges]) {
      const state = graph.view.getState(cell);
      if (!state || !state.shape) problems.push(`cell ${cell.id} was not drawn`);
      if (cell.edge && (!state || !state.absolutePoints || state.absolutePoints.length < 2)) {
        problems.push(`edge ${cell.id} has no route`);
      }
    }
    // The names drawio sets beside events, gateways and data shapes run into no edge's label.
    const textBox = (cell) => {
      const state = graph.view.getState(cell);
      return cell.value && state && state.text && state.text.boundingBox;
    };
    const outside = /mxgraph\.bpmn\.(event|gateway2)|shape=datastore|mxgraph\.bpmn\.data/;
    const named = vertices.filter((c) => outside.test(model.getStyle(c) || '') && textBox(c));
    const labelled = edges.filter((c) => textBox(c));
    for (const v of named) {
      const a = textBox(v);
      for (const e of labelled) {
        const b = textBox(e);
        const across = Math.min(a.x + a.width, b.x + b.width) - Math.max(a.x, b.x);
        const down = Math.min(a.y + a.height, b.y + b.height) - Math.max(a.y, b.y);
        if (across > 1 && down > 1) {
          problems.push(`the name of ${v.id} runs into the label of ${e.id}`);
        }
      }
    }
    // An annotation's text keeps within its bracket: drawio's font may run wider than the
    // picture's, and a tight wrap would push a line out below it.
    for (const v of vertices.filter((c) => /annotation_1/.test(model.getStyle(c) || ''))) {
      const t = textBox(v);
      const box = graph.view.getState(v);
      if (t && box && (t.y < box.y - 1 || t.y + t.height > box.y + box.height + 1)) {
        problems.push(`the text of annotation ${v.id} runs out of its bracket`);
      }
    }
    // An activity's name stays across its box: drawio wraps at the picture's breaks inside long
    // words, and in the size the picture shrank the name to. Its own font may run a little
    // wider than the picture's.
    for (const v of vertices.filter((c) => /mxgraph\.bpmn\.task/.test(model.getStyle(c) || ''))) {
      const t = textBox(v);
      const box = graph.view.getState(v);
      const slack = box ? box.width * 0.1 : 0;
      if (t && box && (t.x < box.x - slack || t.x + t.width > box.x + box.width + slack)) {
        problems.push(`the name of activity ${v.id} runs out of its box`);
      }
    }
    const styles = {};
    for (const cell of vertices) styles[cell.id] = graph.getModel().getStyle(cell) || '';
    return { vertices: vertices.length, edges: edges.length, problems, styles };
  }, [xml, names]);
  // draw.io draws each shape of an example with its own BPMN shape and markers.
  for (const shape of entry.shapes || []) {
    const style = report.styles[drawioId(ncName(shape.id))];
    const wanted = expectedDrawioStyles(shape.kind);
    if (style === undefined) {
      fail(entry.name, `draw.io has no vertex ${shape.id}`);
    } else if (wanted && !wanted.some((parts) => parts.every((part) => style.includes(part)))) {
      fail(entry.name, `draw.io style of ${shape.kind} ${shape.id} lacks ${JSON.stringify(wanted)}: ${style}`);
    }
  }
  for (const problem of report.problems) fail(entry.name, `draw.io: ${problem}`);
  if (report.vertices !== entry.vertices) {
    fail(entry.name, `draw.io shows ${report.vertices} vertices, expected ${entry.vertices}`);
  }
  if (report.edges !== entry.edges) {
    fail(entry.name, `draw.io shows ${report.edges} edges, expected ${entry.edges}`);
  }
}

const screenshotOf = (entries) =>
  entries.find((e) => e.name === 'collaboration') ||
  entries.find((e) => e.kind === 'example') ||
  entries.find((e) => e.kind === 'builtin');

try {
  const page = await context.newPage();
  const pageErrors = [];
  page.on('pageerror', (error) => pageErrors.push(error.message));

  await page.goto(`${base}/viewer.html`);
  const documents = manifest.filter((e) => e.kind !== 'random');
  for (const entry of documents) await checkBpmn(page, entry);
  if (screenshotDir) {
    mkdirSync(screenshotDir, { recursive: true });
    const shown = screenshotOf(documents);
    if (shown) {
      await checkBpmn(page, shown);
      await page.evaluate(() => window.viewer.get('canvas').zoom('fit-viewport'));
      await page.screenshot({ path: join(screenshotDir, `bpmn-js-${shown.name}.png`) });
    }
  }
  for (const message of pageErrors.splice(0)) fail('bpmn-js page', message);

  await page.goto(`${base}/drawio/export3.html`);
  await page.waitForFunction(() => typeof window.render === 'function');
  for (const entry of manifest) {
    try {
      await checkDrawio(page, entry);
    } catch (error) {
      fail(entry.name, `draw.io cannot open it: ${error.message.split('\n')[0]}`);
    }
  }
  if (screenshotDir) {
    const shown = screenshotOf(manifest);
    if (shown) {
      await checkDrawio(page, shown);
      await page.screenshot({ path: join(screenshotDir, `drawio-${shown.name}.png`), fullPage: true });
    }
  }
  for (const message of pageErrors) fail('draw.io page', message);
} finally {
  await close();
  stopServer();
}

if (blocked.size) console.log(`blocked requests to: ${[...blocked].join(', ')}`);
if (failures.length) {
  console.error(failures.join('\n'));
  console.error(`${failures.length} problem(s)`);
  process.exit(1);
}
console.log(`bpmn-js and draw.io open ${manifest.length} diagrams as written`);
