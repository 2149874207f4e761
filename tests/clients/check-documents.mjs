// Loads every BPMN document of a sample folder with bpmn-moddle (zero warnings, every semantic
// element covered by exactly one DI shape or edge, no DI pointing nowhere) and lints the
// example and hand-built diagrams with bpmnlint's recommended rules.
//
//   node check-documents.mjs SAMPLE_DIR
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { createRequire } from 'node:module';
import { BpmnModdle } from 'bpmn-moddle';

const require = createRequire(import.meta.url);
const { Linter } = require('bpmnlint');
const NodeResolver = require('bpmnlint/lib/resolver/node-resolver');

// Recommended rules that do not fit generated diagrams, each with its reason:
const LINT_EXCEPTIONS = {
  // Terminators and the shapes a diagram draws before its flow starts are legitimately
  // unconnected in a picture; the layout shows them on their own.
  'no-disconnected': 'off',
  // Diagrams are drawn as the author describes them: a task with two outgoing connections is
  // how many process maps show a split, and we keep the author's shapes instead of inventing
  // gateways.
  'no-implicit-split': 'off',
  // Connections that merge into a task without a gateway are kept as drawn for the same reason.
  'fake-join': 'off',
  // A gateway with one outgoing path is how authors mark a decision point in a picture.
  'superfluous-gateway': 'off',
  // Unnamed gateways and flows are common in process maps; names are optional in the model.
  'label-required': 'off',
  // Inclusive gateways are part of the drawing vocabulary.
  'no-inclusive-gateway': 'off',
  // Message-triggered "start" shapes that receive a message flow in the middle of a lane are
  // still start events; pools whose flow begins with a message have no blank start event.
  'no-implicit-start': 'off',
  // A pool may end its visible part at a message throw or a task that sends on.
  'no-implicit-end': 'off',
  'end-event-required': 'off',
  // Diagrams may have several blank starts in different lanes of one pool.
  'single-blank-start-event': 'off',
  // A decision gateway that also merges is drawn as one diamond.
  'no-gateway-join-fork': 'off',
  // Gateway branches carry labels, not executable conditions.
  'conditional-flows': 'off',
  // Collapsed sub-processes stand for work described elsewhere and carry no inner flow; a
  // pool whose flow begins when a message arrives shows an intermediate message event, as
  // the picture draws it, instead of a blank start.
  'start-event-required': 'off',
  // Labels on connections are the author's annotations, whatever the source shape is.
  'superfluous-label': 'off',
  // Names sit under events and gateways; that is not an overlap of flow elements.
  'no-overlapping-elements': 'off',
};

// Rules waived for one example only, with the reason. The element catalogue draws every kind
// once, in one chain: its link event stands alone and its event-based gateway has one branch.
const EXAMPLE_EXCEPTIONS = {
  'all-elements': { 'link-event': 'off', 'event-based-gateway': 'off' },
};

const dir = process.argv[2];
const manifest = JSON.parse(readFileSync(join(dir, 'manifest.json'), 'utf8'));
const moddle = new BpmnModdle();
const failures = [];
const fail = (name, message) => failures.push(`${name}: ${message}`);

// Rules keep state between runs, so every document gets a linter of its own.
const newLinter = (name) =>
  new Linter({
    config: {
      extends: 'bpmnlint:recommended',
      rules: { ...LINT_EXCEPTIONS, ...(EXAMPLE_EXCEPTIONS[name] || {}) },
    },
    resolver: new NodeResolver(),
  });

function semanticElements(definitions) {
  const elements = [];
  const visit = (element) => {
    if (!element || typeof element !== 'object') return;
    const type = element.$type;
    const drawn =
      type === 'bpmn:Participant' ||
      type === 'bpmn:Lane' ||
      type === 'bpmn:MessageFlow' ||
      type === 'bpmn:SequenceFlow' ||
      type === 'bpmn:Association' ||
      type === 'bpmn:DataInputAssociation' ||
      type === 'bpmn:DataOutputAssociation' ||
      type === 'bpmn:DataObjectReference' ||
      type === 'bpmn:DataStoreReference' ||
      (element.$instanceOf && element.$instanceOf('bpmn:FlowNode'));
    if (drawn) elements.push(element);
    for (const key of [
      'rootElements', 'participants', 'messageFlows', 'artifacts', 'flowElements', 'laneSets',
      'lanes', 'childLaneSet', 'dataInputAssociations', 'dataOutputAssociations',
    ]) {
      const value = element[key];
      if (Array.isArray(value)) value.forEach(visit);
      else if (value) visit(value);
    }
  };
  visit(definitions);
  return elements;
}

for (const entry of manifest) {
  const file = join(dir, `${entry.name}.bpmn`);
  const xml = readFileSync(file, 'utf8');
  let result;
  try {
    result = await moddle.fromXML(xml);
  } catch (error) {
    fail(entry.name, `does not load: ${error.message}`);
    continue;
  }
  for (const warning of result.warnings) fail(entry.name, `warning: ${warning.message}`);
  const definitions = result.rootElement;
  const diagrams = definitions.diagrams || [];
  if (diagrams.length !== 1) fail(entry.name, `expected one diagram, found ${diagrams.length}`);
  const coverage = new Map();
  for (const diagram of diagrams) {
    for (const di of diagram.plane.planeElement || []) {
      if (!di.bpmnElement) {
        fail(entry.name, `DI ${di.id} points at nothing`);
        continue;
      }
      const id = di.bpmnElement.id;
      coverage.set(id, (coverage.get(id) || 0) + 1);
      if (di.$type === 'bpmndi:BPMNEdge' && (!di.waypoint || di.waypoint.length < 2)) {
        fail(entry.name, `edge ${di.id} has fewer than two waypoints`);
      }
    }
  }
  const elements = semanticElements(definitions);
  for (const element of elements) {
    const count = coverage.get(element.id) || 0;
    if (count !== 1) fail(entry.name, `${element.$type} ${element.id} has ${count} DI elements`);
  }
  const ids = new Set(elements.map((e) => e.id));
  for (const id of coverage.keys()) {
    if (!ids.has(id)) fail(entry.name, `DI for ${id}, which is not a drawable element`);
  }

  if (entry.kind !== 'random') {
    const reports = await newLinter(entry.name).lint(definitions);
    for (const [rule, problems] of Object.entries(reports)) {
      for (const problem of problems) {
        if (problem.category === 'error' || problem.category === 'warn') {
          fail(entry.name, `bpmnlint ${rule}: ${problem.message} (${problem.id})`);
        }
      }
    }
  }
}

if (failures.length) {
  console.error(failures.join('\n'));
  console.error(`${failures.length} problem(s) in ${manifest.length} documents`);
  process.exit(1);
}
console.log(`${manifest.length} documents load cleanly with complete diagram interchange`);
