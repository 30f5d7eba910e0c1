// The browser remote: the state from the server's event stream drawn into the page, and the
// page's buttons and forms sent back as commands.

import { Connection, keepScreenOn } from "./connection.js";
import { countDownOf, parseDuration } from "./durations.js";
import * as view from "./view.js";

const $ = (id) => document.getElementById(id);
const state = { displays: [], mirror: {}, captions: {}, program: {}, presets: [], link: {} };
const MAX_COUNT_DOWN = 99 * 3600 + 59 * 60 + 59;

const connection = new Connection({
  event: applyEvent,
  online: wentOnline,
  offline: wentOffline,
  tokenNeeded: askForToken,
});

// ---- drawing ----

function applyEvent(kind, data) {
  if (kind === "state") Object.assign(state, data);
  else if (kind === "displays") state.displays = data.displays;
  else if (kind === "display") state.displays = view.withDisplay(state.displays, data);
  else if (kind === "delivery") return notify(view.missedNotice(data), "bad");
  else if (kind in state) state[kind] = data;
  else return;
  draw(kind === "display" ? "displays" : kind);
}

const drawers = {
  displays() {
    view.showDisplays($("display-list"), state.displays);
    $("no-displays").hidden = state.displays.length > 0;
  },
  mirror() {
    $("mirror-text").textContent = state.mirror.text || "--:--";
    // The mode is the live region: a screen reader hears a change of state, not every tenth.
    const mode = view.mirrorMode(state.mirror, state.captions);
    if ($("mirror-mode").textContent !== mode) $("mirror-mode").textContent = mode;
  },
  captions() {
    view.showCaptions(document.querySelectorAll("[data-caption]"), state.captions);
    drawers.mirror();
  },
  program() {
    view.showProgramChoice($("program-choice"), state.program);
    view.showProgramLines($("program-lines"), state.program);
    $("program-status").textContent = view.programStatus(state.program);
  },
  presets() {
    view.showPresets($("presets"), state.presets);
  },
  link() {
    $("port-in-use").hidden = !state.link.portInUse;
  },
};

function draw(kind) {
  for (const [part, drawPart] of Object.entries(drawers)) {
    if (kind === "state" || kind === part) drawPart();
  }
}

// ---- the link to the server ----

let offlineSince = null;

// Offline, nothing can be sent and the mirror is dimmed: it no longer follows the displays.
function enableCommands(enabled) {
  for (const group of document.querySelectorAll("fieldset.commands")) group.disabled = !enabled;
  document.body.classList.toggle("offline", !enabled);
}

function showLink(status, text) {
  $("link").dataset.link = status;
  $("link").textContent = text;
}

function wentOnline() {
  enableCommands(true);
  $("token-form").hidden = true;
  showLink("live", "Live");
  if (offlineSince !== null) {
    const seconds = Math.max(1, Math.round((Date.now() - offlineSince) / 1000));
    notify(`Back online after ${seconds} s offline; the state is fresh.`, "good");
  }
  offlineSince = null;
}

function wentOffline(retryMs) {
  enableCommands(false);
  offlineSince ??= Date.now();
  showLink("offline", "Offline");
  // A command that was not sent is told first; the link above says offline meanwhile.
  if (Date.now() < failureShownUntil) return;
  const retry = `trying again in ${retryMs / 1000} s`;
  notify(`Offline: ${retry}. The buttons wait for the server.`, "bad", true);
}

function askForToken(wasWrong) {
  enableCommands(false);
  offlineSince ??= Date.now();
  showLink("offline", "Token needed");
  $("notice").hidden = true;
  $("token-problem").textContent = "That token was not accepted: check it and try again.";
  $("token-problem").hidden = !wasWrong;
  $("token-form").hidden = false;
  $("token").focus();
}

let noticeTimer = 0;
let failureShownUntil = 0;
const NOTICE_MS = 8000;

function notify(text, tone, keep = false) {
  const notice = $("notice");
  notice.textContent = text;
  notice.dataset.tone = tone;
  notice.hidden = false;
  clearTimeout(noticeTimer);
  if (!keep) noticeTimer = setTimeout(() => (notice.hidden = true), NOTICE_MS);
}

async function send(name, params) {
  const answer = await connection.send(name, params);
  if (answer.ok) return;
  notify(answer.message, "bad");
  failureShownUntil = Date.now() + NOTICE_MS;
}

// ---- the operator's input ----

function pressed(event) {
  const button = event.target.closest("button");
  if (!button || button.type === "submit") return;
  if (button.dataset.tab) showTab(button.dataset.tab);
  else if (button.dataset.command) {
    send(button.dataset.command, JSON.parse(button.dataset.params ?? "{}"));
  }
  else if (button.dataset.run) {
    const running = state.captions[button.dataset.caption] === "Pause";
    send(`${button.dataset.run}.${running ? "pause" : "start"}`);
  }
}

function showTab(name) {
  for (const tab of document.querySelectorAll("[data-tab]")) {
    tab.setAttribute("aria-selected", String(tab.dataset.tab === name));
    $(tab.dataset.tab).hidden = tab.dataset.tab !== name;
  }
}

// Sends a form's command when it is submitted, with the parameters `read` makes of its fields,
// or says what is wrong with them.
function onSubmit(id, command, read) {
  $(id).addEventListener("submit", (event) => {
    event.preventDefault();
    const params = read(event.target.elements);
    if (typeof params === "string") notify(params, "bad");
    else send(command, params);
  });
}

function durationOf(field, what) {
  const seconds = parseDuration(field.value);
  return seconds === null ? `${what}: type minutes, m:ss or h:mm:ss` : seconds;
}

function wireForms() {
  onSubmit("duration-form", "countdown.set", (fields) => {
    const seconds = durationOf(fields.duration, "Duration");
    if (typeof seconds === "string") return seconds;
    if (seconds < 1 || seconds > MAX_COUNT_DOWN) return "Duration: from 0:01 to 99:59:59";
    return countDownOf(seconds);
  });
  onSubmit("countup-form", "countup.reset", (fields) => ({ format: fields.format.value }));
  onSubmit("tabata-form", "tabata", (fields) => ({
    work: fields.work.valueAsNumber,
    rest: fields.rest.valueAsNumber,
    rounds: fields.rounds.valueAsNumber,
    alarm: fields.alarm.checked,
  }));
  onSubmit("presentation-form", "presentation", (fields) => {
    const total = durationOf(fields.total, "Total");
    const warning = durationOf(fields.warning, "Yellow at");
    if (typeof total === "string") return total;
    if (typeof warning === "string") return warning;
    return {
      total,
      warning,
      format: fields.format.value,
      countUp: fields.countUp.checked,
      alarm: fields.alarm.checked,
    };
  });
  $("program-choice").addEventListener("change", (event) =>
    send("program.open", { program: Number(event.target.value) }),
  );
  $("token-form").addEventListener("submit", (event) => {
    event.preventDefault();
    $("token-problem").textContent = "Checking the token…";
    $("token-problem").hidden = false;
    connection.useToken($("token").value.trim());
    $("token").value = "";
  });
}

document.addEventListener("click", pressed);
wireForms();
keepScreenOn();
connection.start();
