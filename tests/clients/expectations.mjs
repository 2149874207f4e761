// What each description type word is in the documents orvane writes: the BPMN element type
// and event definitions bpmn-moddle and bpmn-js must read, and the draw.io style fragments that
// make draw.io draw it as BPMN. Shared by the document and browser checks.

// What a shape of each description type word is in BPMN: its element type, its event
// definitions (a multiple event carries several) and, for a few, another type it may take.
export const TRIGGER_DEFINITIONS = {
  message: ['bpmn:MessageEventDefinition'],
  signal: ['bpmn:SignalEventDefinition'],
  timer: ['bpmn:TimerEventDefinition'],
  conditional: ['bpmn:ConditionalEventDefinition'],
  link: ['bpmn:LinkEventDefinition'],
  error: ['bpmn:ErrorEventDefinition'],
  escalation: ['bpmn:EscalationEventDefinition'],
  compensation: ['bpmn:CompensateEventDefinition'],
  cancel: ['bpmn:CancelEventDefinition'],
  terminate: ['bpmn:TerminateEventDefinition'],
  multiple: ['bpmn:MessageEventDefinition', 'bpmn:SignalEventDefinition'],
  parallel_multiple: ['bpmn:MessageEventDefinition', 'bpmn:SignalEventDefinition'],
};
const POSITION_TYPES = {
  start: ['bpmn:StartEvent'],
  catch: ['bpmn:IntermediateCatchEvent'],
  throw: ['bpmn:IntermediateThrowEvent'],
  end: ['bpmn:EndEvent'],
  boundary: ['bpmn:BoundaryEvent'],
};
const FIXED_TYPES = {
  start: [['bpmn:StartEvent'], []],
  end: [['bpmn:EndEvent'], []],
  intermediate: [['bpmn:IntermediateThrowEvent'], []],
  timer: [['bpmn:StartEvent', 'bpmn:IntermediateCatchEvent'], TRIGGER_DEFINITIONS.timer],
  link: [['bpmn:IntermediateCatchEvent', 'bpmn:IntermediateThrowEvent'], TRIGGER_DEFINITIONS.link],
  message: [['bpmn:StartEvent'], TRIGGER_DEFINITIONS.message],
  message_intermediate: [['bpmn:IntermediateCatchEvent'], TRIGGER_DEFINITIONS.message],
  message_end: [['bpmn:EndEvent'], TRIGGER_DEFINITIONS.message],
  signal: [['bpmn:StartEvent'], TRIGGER_DEFINITIONS.signal],
  signal_intermediate: [['bpmn:IntermediateCatchEvent'], TRIGGER_DEFINITIONS.signal],
  signal_end: [['bpmn:EndEvent'], TRIGGER_DEFINITIONS.signal],
  conditional: [['bpmn:StartEvent'], TRIGGER_DEFINITIONS.conditional],
  conditional_intermediate: [['bpmn:IntermediateCatchEvent'], TRIGGER_DEFINITIONS.conditional],
  task: [['bpmn:Task'], []],
  user_task: [['bpmn:UserTask'], []],
  service_task: [['bpmn:ServiceTask'], []],
  send_task: [['bpmn:SendTask'], []],
  receive_task: [['bpmn:ReceiveTask'], []],
  script_task: [['bpmn:ScriptTask'], []],
  manual_task: [['bpmn:ManualTask'], []],
  business_rule_task: [['bpmn:BusinessRuleTask'], []],
  subprocess: [['bpmn:SubProcess', 'bpmn:AdHocSubProcess'], []],
  call_activity: [['bpmn:CallActivity'], []],
  transaction: [['bpmn:Transaction'], []],
  event_subprocess: [['bpmn:SubProcess'], []],
  exclusive: [['bpmn:ExclusiveGateway'], []],
  parallel: [['bpmn:ParallelGateway'], []],
  inclusive: [['bpmn:InclusiveGateway'], []],
  event_based: [['bpmn:EventBasedGateway'], []],
  complex: [['bpmn:ComplexGateway'], []],
  terminator: [['bpmn:StartEvent', 'bpmn:EndEvent', 'bpmn:IntermediateThrowEvent'], []],
  data_object: [['bpmn:DataObjectReference'], []],
  data_input: [['bpmn:DataInput'], []],
  data_output: [['bpmn:DataOutput'], []],
  data_store: [['bpmn:DataStoreReference'], []],
  text_annotation: [['bpmn:TextAnnotation'], []],
  group: [['bpmn:Group'], []],
};

export function expectedForm(kind) {
  if (FIXED_TYPES[kind]) return { types: FIXED_TYPES[kind][0], definitions: FIXED_TYPES[kind][1] };
  const cut = kind.lastIndexOf('_');
  const trigger = kind.slice(0, cut);
  const position = kind.slice(cut + 1);
  if (!POSITION_TYPES[position] || !TRIGGER_DEFINITIONS[trigger]) return null;
  return { types: POSITION_TYPES[position], definitions: TRIGGER_DEFINITIONS[trigger] };
}

// The id an exporter writes for a description id: a valid XML name.
export const ncName = (id) => {
  let out = id.replace(/[^A-Za-z0-9_.-]/g, '_');
  if (!/^[A-Za-z_]/.test(out)) out = `_${out}`;
  return out;
};

// The draw.io style fragments a shape of a type word must carry.
const DRAWIO_SYMBOLS = {
  message: 'symbol=message', signal: 'symbol=signal', timer: 'symbol=timer',
  conditional: 'symbol=conditional', link: 'symbol=link', error: 'symbol=error',
  escalation: 'symbol=escalation', compensation: 'symbol=compensation', cancel: 'symbol=cancel',
  terminate: 'symbol=terminate', multiple: 'symbol=multiple',
  parallel_multiple: 'symbol=parallelMultiple',
};
const DRAWIO_OUTLINES = {
  start: ['outline=standard', 'outline=eventNonint'], catch: ['outline=catching'],
  throw: ['outline=throwing'], end: ['outline=end'], boundary: ['outline=boundInt', 'outline=boundNonint'],
};
const DRAWIO_FIXED = {
  start: [['shape=mxgraph.bpmn.event', 'outline=standard']],
  end: [['shape=mxgraph.bpmn.event', 'outline=end']],
  intermediate: [['shape=mxgraph.bpmn.event', 'outline=throwing']],
  timer: [['shape=mxgraph.bpmn.event', 'symbol=timer']],
  link: [['shape=mxgraph.bpmn.event', 'symbol=link']],
  message: [['shape=mxgraph.bpmn.event', 'symbol=message']],
  message_intermediate: [['symbol=message', 'outline=catching']],
  message_end: [['symbol=message', 'outline=end']],
  signal: [['shape=mxgraph.bpmn.event', 'symbol=signal']],
  signal_intermediate: [['symbol=signal', 'outline=catching']],
  signal_end: [['symbol=signal', 'outline=end']],
  conditional: [['shape=mxgraph.bpmn.event', 'symbol=conditional']],
  conditional_intermediate: [['symbol=conditional', 'outline=catching']],
  task: [['shape=mxgraph.bpmn.task', 'taskMarker=abstract']],
  user_task: [['shape=mxgraph.bpmn.task', 'taskMarker=user']],
  service_task: [['shape=mxgraph.bpmn.task', 'taskMarker=service']],
  send_task: [['shape=mxgraph.bpmn.task', 'taskMarker=send']],
  receive_task: [['shape=mxgraph.bpmn.task', 'taskMarker=receive']],
  script_task: [['shape=mxgraph.bpmn.task', 'taskMarker=script']],
  manual_task: [['shape=mxgraph.bpmn.task', 'taskMarker=manual']],
  business_rule_task: [['shape=mxgraph.bpmn.task', 'taskMarker=businessRule']],
  subprocess: [['shape=mxgraph.bpmn.task', 'isLoopSub=1']],
  call_activity: [['shape=mxgraph.bpmn.task', 'bpmnShapeType=call']],
  transaction: [['shape=mxgraph.bpmn.task', 'bpmnShapeType=transaction']],
  event_subprocess: [['shape=mxgraph.bpmn.task', 'bpmnShapeType=subprocess']],
  exclusive: [['shape=mxgraph.bpmn.gateway2']],
  parallel: [['shape=mxgraph.bpmn.gateway2', 'gwType=parallel']],
  inclusive: [['shape=mxgraph.bpmn.gateway2', 'outline=end']],
  event_based: [['shape=mxgraph.bpmn.gateway2', 'symbol=multiple']],
  complex: [['shape=mxgraph.bpmn.gateway2', 'gwType=complex']],
  terminator: [['rounded=1', 'arcSize=50']],
  data_object: [['shape=mxgraph.bpmn.data']],
  data_input: [['shape=mxgraph.bpmn.data', 'bpmnTransferType=input']],
  data_output: [['shape=mxgraph.bpmn.data', 'bpmnTransferType=output']],
  data_store: [['shape=datastore']],
  text_annotation: [['shape=mxgraph.flowchart.annotation_1']],
  group: [['dashPattern=8 3 1 3']],
};

// Lists of fragments, any one list of which the style must hold entirely.
export function expectedDrawioStyles(kind) {
  if (DRAWIO_FIXED[kind]) return DRAWIO_FIXED[kind];
  const cut = kind.lastIndexOf('_');
  const trigger = kind.slice(0, cut);
  const position = kind.slice(cut + 1);
  if (!DRAWIO_OUTLINES[position] || !DRAWIO_SYMBOLS[trigger]) return null;
  return DRAWIO_OUTLINES[position].map((outline) =>
    ['shape=mxgraph.bpmn.event', outline, DRAWIO_SYMBOLS[trigger]]);
}

// The id of a cell in the drawio document: draw.io reads ids that name a property of arrays or
// objects as that property, so the exporter suffixes them there.
const SCRIPT_PROPERTIES = new Set([
  ...Object.getOwnPropertyNames(Array.prototype), ...Object.getOwnPropertyNames(Object.prototype),
]);
export const drawioId = (id) => (SCRIPT_PROPERTIES.has(id) ? `${id}_cell` : id);
