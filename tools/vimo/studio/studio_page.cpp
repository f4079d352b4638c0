// The studio's page, embedded in the program: nothing is fetched from elsewhere at run time.
// The script only forwards pointer events and form values to the server and shows what it
// answers; all geometry is the server's.
#include "studio/studio_server.h"

namespace vimo_studio {

const char* StudioPage() {
  return R"page(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>vimo studio</title>
<style>
  * { box-sizing: border-box; }
  body { margin: 0; display: flex; height: 100vh; font: 13px system-ui, sans-serif;
         background: #1e2126; color: #e6e6e6; }
  #view { position: relative; flex: 1; overflow: hidden; background: #111; cursor: crosshair;
          touch-action: none; }
  #image { position: absolute; image-rendering: pixelated; pointer-events: none; }
  #overlay { position: absolute; left: 0; top: 0; pointer-events: none; }
  #side { width: 360px; overflow-y: auto; padding: 10px; border-left: 1px solid #333; }
  h2 { font-size: 11px; text-transform: uppercase; color: #9aa; margin: 10px 0 4px; }
  button { background: #2d3340; color: #eee; border: 1px solid #465; border-radius: 3px;
           padding: 4px 8px; margin: 2px 1px; cursor: pointer; }
  button:hover { background: #3a4252; }
  input, select { background: #15181c; color: #eee; border: 1px solid #444; padding: 2px 4px;
                  width: 100%; }
  label { display: block; margin: 2px 0; }
  .grid { display: grid; grid-template-columns: auto 1fr auto 1fr; gap: 3px 6px;
          align-items: center; }
  .grid .wide { grid-column: span 3; }
  .modes label { display: inline-block; margin-right: 8px; }
  .modes input { width: auto; }
  table { border-collapse: collapse; width: 100%; font-size: 12px; }
  th, td { border-bottom: 1px solid #333; padding: 3px 4px; text-align: left; }
  tr.selected td { background: #5a3a10; }
  tbody tr { cursor: pointer; }
  .no { color: #f66; } .yes { color: #6f6; }
  #status { min-height: 1.4em; color: #fc6; margin-top: 6px; white-space: pre-wrap; }
</style>
</head>
<body>
<div id="view"><img id="image" alt=""><div id="overlay"></div></div>
<div id="side">
  <div><b>vimo studio</b> <span id="file"></span> <span id="dirty"></span></div>
  <h2>Add a gauge</h2>
  <button id="add-point" data-type="point">Point</button>
  <button id="add-line" data-type="line">Line</button>
  <button id="add-circle" data-type="circle">Circle</button>
  <button id="add-rectangle" data-type="rectangle">Rectangle</button>
  <button id="add-wedge" data-type="wedge">Wedge</button>
  <h2>Selected gauge</h2>
  <div class="grid">
    <span>Name</span><input id="name" class="wide">
    <span>Tolerance</span><input id="tolerance" type="number" step="any">
    <span>Step</span><input id="samplingStep" type="number" step="any">
    <span>Transition</span><select id="transitionType" class="wide">
      <option value="0">dark to bright</option><option value="1">bright to dark</option>
      <option value="2">any edge</option><option value="3">bright bar</option>
      <option value="4">dark bar</option></select>
    <span>Choice</span><select id="transitionChoice" class="wide">
      <option value="0">from begin</option><option value="1">from end</option>
      <option value="2">largest amplitude</option><option value="3">largest area</option>
      <option value="4">closest to centre</option><option value="5">all peaks</option></select>
    <span>Threshold</span><input id="threshold" type="number" min="0">
    <span>Thickness</span><input id="thickness" type="number" min="1">
    <span>Smoothing</span><input id="smoothing" type="number" min="1">
    <span>Passes</span><input id="filteringPasses" type="number" min="0">
  </div>
  <button id="apply">Apply</button><button id="delete">Delete</button>
  <h2>Drawing</h2>
  <div class="modes">
    <label><input type="checkbox" id="mode-nominal" data-mode="nominal">nominal</label>
    <label><input type="checkbox" id="mode-measured" data-mode="measured">measured</label>
    <label><input type="checkbox" id="mode-profiles" data-mode="profiles">profiles</label>
    <label><input type="checkbox" id="mode-samples" data-mode="samples">samples</label>
  </div>
  <button id="fit">Fit</button><button id="actual">1:1</button>
  <button id="measure">Measure</button><button id="save">Save</button>
  <div id="status"></div>
  <h2>Results</h2>
  <table id="results"><thead><tr><th>Gauge</th><th>Found</th><th>Geometry</th>
    <th>Valid</th><th>Avg dist</th></tr></thead><tbody></tbody></table>
</div>
<script>
"use strict";
const token = new URLSearchParams(location.search).get("token") || "";
const view = document.getElementById("view");
const image = document.getElementById("image");
const overlay = document.getElementById("overlay");
const $ = (id) => document.getElementById(id);
const parameterFields = ["tolerance", "samplingStep", "transitionType", "transitionChoice",
                         "threshold", "thickness", "smoothing", "filteringPasses"];
let state = null;
let chain = Promise.resolve();
let pending = 0;

// Requests run one after the other, in the order the user made them; data-pending counts
// those not answered yet.
function count(step) {
  pending += step;
  document.body.dataset.pending = pending;
}
function request(action, body) {
  return fetch("api/" + action, {
      method: "POST", headers: {"Content-Type": "application/json", "X-Vimo-Token": token},
      body: JSON.stringify(body || {})})
    .then(async (r) => {
      const answer = await r.json().catch(() => ({error: "HTTP " + r.status}));
      if (!r.ok) { $("status").textContent = answer.error || ("HTTP " + r.status); return; }
      show(answer);
    })
    .catch((e) => { $("status").textContent = String(e); })
    .finally(() => count(-1));
}
function enqueue(make) {
  count(1);
  chain = chain.then(() => { const [action, body] = make(); return request(action, body); });
}
function post(action, body) { enqueue(() => [action, body]); }

// Numbers with two decimals; a geometry object as its scalar fields (the ends of a line are
// left to the JSON of vimo measure).
function text(value) {
  if (value === null || value === undefined) return "";
  if (typeof value === "number") return Number.isInteger(value) ? String(value) : value.toFixed(2);
  if (typeof value === "object")
    return Object.entries(value).filter(([, v]) => !Array.isArray(v))
      .map(([k, v]) => k + " " + text(v)).join(", ");
  return String(value);
}

function show(next) {
  state = next;
  window.vimoState = next;
  const box = next.view.image;
  Object.assign(image.style, {left: box.x + "px", top: box.y + "px",
                              width: box.width + "px", height: box.height + "px"});
  overlay.innerHTML = next.svg;
  $("file").textContent = next.toolFile;
  $("dirty").textContent = next.dirty ? "(modified)" : "";
  $("status").textContent = next.message || "";
  for (const input of document.querySelectorAll("[data-mode]"))
    input.checked = !!next.modes[input.dataset.mode];
  const body = $("results").tBodies[0];
  body.replaceChildren();
  for (const row of next.results) {
    const tr = document.createElement("tr");
    tr.dataset.id = row.id;
    if (row.id === next.selected) tr.className = "selected";
    const cells = [row.gauge, row.found ? "yes" : "no", text(row.geometry),
                   text(row.valid_samples), text(row.average_distance)];
    cells.forEach((value, i) => {
      const td = document.createElement("td");
      td.textContent = value;
      if (i === 1) td.className = row.found ? "yes" : "no";
      tr.appendChild(td);
    });
    tr.addEventListener("click", () => post("select", {id: row.id}));
    body.appendChild(tr);
  }
  const gauge = next.selected === null ? null : next.gauges[next.selected];
  $("name").value = gauge ? gauge.name : "";
  for (const field of parameterFields) {
    const value = gauge ? gauge.parameters[field] : null;
    $(field).value = value === null || value === undefined ? "" : Number(value.toPrecision(6));
    $(field).disabled = !gauge || value === null || value === undefined;
  }
  $("name").disabled = !gauge;
}

function position(event) {
  const r = view.getBoundingClientRect();
  return {x: Math.floor(event.clientX - r.left), y: Math.floor(event.clientY - r.top)};
}

// Pointer moves are coalesced: while one is on its way, only the latest waits.
let waitingMove = null;
view.addEventListener("pointerdown", (event) => {
  if (event.button !== 0) return;
  view.setPointerCapture(event.pointerId);
  post("pointer", Object.assign({kind: "down"}, position(event)));
});
view.addEventListener("pointermove", (event) => {
  if (!view.hasPointerCapture(event.pointerId)) return;
  const first = waitingMove === null;
  waitingMove = position(event);
  if (first) enqueue(() => {
    const p = waitingMove; waitingMove = null;
    return ["pointer", {kind: "move", x: p.x, y: p.y}];
  });
});
view.addEventListener("pointerup", (event) => {
  if (!view.hasPointerCapture(event.pointerId)) return;
  view.releasePointerCapture(event.pointerId);
  post("pointer", Object.assign({kind: "up"}, position(event)));
});
view.addEventListener("wheel", (event) => {
  event.preventDefault();
  post("view", Object.assign({kind: "zoom", factor: event.deltaY < 0 ? 1.25 : 0.8},
                             position(event)));
}, {passive: false});

for (const button of document.querySelectorAll("[data-type]"))
  button.addEventListener("click", () => post("add", {type: button.dataset.type}));
$("delete").addEventListener("click", () => post("delete"));
$("apply").addEventListener("click", () => {
  const gauge = state && state.selected !== null ? state.gauges[state.selected] : null;
  if (!gauge) return;
  if ($("name").value !== gauge.name) post("rename", {name: $("name").value});
  const values = {};
  for (const field of parameterFields) {
    if ($(field).disabled || $(field).value === "") continue;
    const number = Number($(field).value);
    if (number !== Number(gauge.parameters[field].toPrecision(6))) values[field] = number;
  }
  if (Object.keys(values).length) post("parameters", values);
});
for (const input of document.querySelectorAll("[data-mode]"))
  input.addEventListener("change", () => post("modes", {[input.dataset.mode]: input.checked}));
$("fit").addEventListener("click", () => post("view", {kind: "fit"}));
$("actual").addEventListener("click", () => post("view", {kind: "actual"}));
$("measure").addEventListener("click", () => post("measure"));
$("save").addEventListener("click", () => post("save"));

function resize() {
  post("state", {width: Math.max(1, view.clientWidth), height: Math.max(1, view.clientHeight)});
}
window.addEventListener("resize", resize);
image.src = "image.png?token=" + encodeURIComponent(token);
resize();
</script>
</body>
</html>
)page";
}

}  // namespace vimo_studio
