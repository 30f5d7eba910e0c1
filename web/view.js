// The page's parts drawn from the state. Everything a display, a program or the settings named is
// put in as text, never as markup.

import { formatDuration } from "./durations.js";
import { timeOfDay } from "./showntime.js";

function element(tag, className, text) {
  const node = document.createElement(tag);
  if (className) node.className = className;
  if (text !== undefined) node.textContent = text;
  return node;
}

// A button that sends a command with its parameters when pressed.
function commandButton(className, command, params) {
  const button = element("button", className);
  button.type = "button";
  setCommand(button, command, params);
  return button;
}

function setCommand(button, command, params) {
  button.dataset.command = command;
  button.dataset.params = JSON.stringify(params);
}

// Rebuilds a list only when its keys change, so that a row under the operator's finger stays
// the same element while its text changes.
function keyedRows(list, keys, makeRow) {
  const joined = JSON.stringify(keys);
  if (list.dataset.keys !== joined) {
    list.replaceChildren(...keys.map(makeRow));
    list.dataset.keys = joined;
  }
  return [...list.children];
}

// The list with one display's row replaced by `changed`, matched by address; added when new.
export function withDisplay(displays, changed) {
  const at = displays.findIndex((d) => d.address === changed.address);
  if (at < 0) return [...displays, changed];
  return displays.map((d, i) => (i === at ? changed : d));
}

// What a display that missed a command says instead of a time it cannot vouch for; "" while it
// answers.
export function displayHealth(display) {
  if (!display.missed) return "";
  const since = timeOfDay(display.lastAnswer) || timeOfDay(display.missed.at);
  return `no answer since ${since}`;
}

export function missedNotice(delivery) {
  return `${delivery.name || delivery.address} did not answer "${delivery.command}" at ${timeOfDay(delivery.at)}.`;
}

export function showDisplays(list, displays) {
  const rows = keyedRows(
    list,
    displays.map((d) => d.address),
    () => {
      const row = element("li");
      const button = commandButton("display");
      button.append(
        element("span", "name"),
        element("span", "address"),
        element("span", "time"),
        element("span", "health"),
      );
      row.append(button);
      return row;
    },
  );
  displays.forEach((display, i) => {
    const button = rows[i].firstChild;
    const [name, address, time, health] = button.children;
    name.textContent = display.name;
    address.textContent = display.address;
    time.textContent = display.time;
    health.textContent = displayHealth(display);
    button.classList.toggle("missed", health.textContent !== "");
    button.setAttribute("aria-pressed", String(display.selected));
    setCommand(button, display.selected ? "displays.deselect" : "displays.select", {
      displays: [display.address],
    });
  });
}

function presetLength(preset) {
  if (preset.days > 0) return `${preset.days} d ${preset.hours} h ${preset.minutes} min`;
  return formatDuration(preset.hours * 3600 + preset.minutes * 60 + preset.seconds);
}

export function showPresets(grid, presets) {
  grid.replaceChildren(
    ...presets.map((preset) => {
      const button = commandButton("preset", "countdown.preset", { preset: preset.preset });
      button.append(
        element("span", "name", preset.name),
        element("span", "length", presetLength(preset)),
      );
      return button;
    }),
  );
}

const MODE_NAMES = {
  countdown: "Count-down",
  countup: "Count-up",
  clock: "Time of day",
  program: "Program",
};

// "Count-down · running"; "" for a mode without a name.
export function modeText(mode, running) {
  const name = MODE_NAMES[mode];
  if (!name) return "";
  if (mode === "clock") return name;
  return `${name} · ${running ? "running" : "paused"}`;
}

export function mirrorMode(mirror, captions) {
  const running =
    mirror.mode === "program" ? captions.program === "Pause" : mirror.counting !== "none";
  return modeText(mirror.mode, running);
}

// Start/Pause buttons say what pressing them does now.
export function showCaptions(buttons, captions) {
  for (const button of buttons) {
    const caption = captions[button.dataset.caption] ?? "Start";
    button.textContent = caption;
    button.classList.toggle("pause", caption === "Pause");
  }
}

export function showProgramChoice(select, program) {
  const names = program.names ?? [];
  keyedRows(select, names, (name, i) => {
    const option = element("option", "", `${i + 1} · ${name}`);
    option.value = String(i + 1);
    return option;
  });
  select.value = String(program.open);
}

function lineDetails(line) {
  if ("goto" in line) return `back to step ${line.goto}, ${line.repeats} times`;
  if ("hours-colour" in line) {
    return `hours ${line["hours-colour"]}, the rest ${line["min-sec-colour"]}`;
  }
  if ("reset" in line) return line.reset ? "then reset" : line.stop ? "then stop" : "";
  const alarm = line.alarm > 0 ? `, alarm ${line.alarm} s` : "";
  return `${line["start-time"]} → ${line["stop-time"]}${alarm}`;
}

export function showProgramLines(list, program) {
  list.replaceChildren(
    ...(program.lines ?? []).map((line) => {
      const row = element("li", line.step === program.runningStep ? "running" : "");
      if (line.step === program.runningStep) row.setAttribute("aria-current", "step");
      row.append(
        element("span", "step", String(line.step)),
        element("span", "command", line.command),
        element("span", "details", lineDetails(line)),
      );
      return row;
    }),
  );
}

export function programStatus(program) {
  if (!program.active) return "Not armed: Arm sends it to the selected displays.";
  return program.running ? `Running step ${program.runningStep}` : "Armed, paused";
}
