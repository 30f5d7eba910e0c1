// What the viewer shows, from the state: the time, which way it runs, the line under it, the
// digits' colours, and whether it can vouch for the time at all. No drawing here.

import { displayHealth, mirrorMode, modeText } from "./view.js";

// The colour lines' names as the digits show them; a display's own colours look white here.
const COLOURS = {
  Red: "red",
  Green: "green",
  Blue: "blue",
  Cyan: "cyan",
  Magenta: "magenta",
  Yellow: "yellow",
  White: "white",
};
const DEFAULT_COLOURS = { hours: "red", rest: "red" };

const TABATA_NAME = /^Tab \d+\/\d+$/;
const PRESENTATION_NAME = /^Pres:\d+-\d+$/;

// The colours of the last colour line above the running step: the colours the displays turned
// to before the line they run. A user colour looks white here.
export function programColours(program) {
  const lines = program.lines ?? [];
  for (let i = Math.min(program.runningStep ?? 0, lines.length) - 1; i >= 0; --i) {
    const line = lines[i];
    if ("hours-colour" in line) {
      return {
        hours: COLOURS[line["hours-colour"]] ?? "white",
        rest: COLOURS[line["min-sec-colour"]] ?? "white",
      };
    }
  }
  return DEFAULT_COLOURS;
}

function runningLine(program) {
  return (program.lines ?? [])[(program.runningStep ?? 0) - 1];
}

// "round 3 of 8": the round from the interval count in front of the time, the rounds from the
// repeat that goes back over the running line.
function tabataRound(program, text) {
  const round = /^(\d+)-/.exec(text)?.[1];
  const repeat = (program.lines ?? []).find(
    (line) => "goto" in line && line.step > program.runningStep && line.goto <= program.runningStep,
  );
  if (!round || !repeat) return "";
  return ` · round ${round} of ${repeat.repeats + 1}`;
}

// The line under a program's time: what the running line does, in the terms of the program that
// was built (Tabata's work and rest, a presentation's closing minutes and overtime).
export function programCaption(program, mirror, running) {
  const line = runningLine(program);
  const name = program.name || `Program ${program.open}`;
  const paused = running ? "" : " · paused";
  if (!line) return `${name}${paused}`;
  if (TABATA_NAME.test(name) && line.command.startsWith("interval-")) {
    const what = line["increment-interval"] ? "Work" : "Rest";
    return `${name} · ${what}${tabataRound(program, mirror.text)}${paused}`;
  }
  if (PRESENTATION_NAME.test(name)) {
    const colour = programColours(program).rest;
    if (colour === "red") return `${name} · Overtime${paused}`;
    if (colour === "yellow") return `${name} · Closing${paused}`;
    return `${name}${paused}`;
  }
  return `${name} · step ${line.step}: ${line.command}${paused}`;
}

function mirrorDirection(mirror) {
  if (mirror.counting === "up") return 1;
  if (mirror.counting === "down") return -1;
  return mirror.mode === "clock" ? 1 : 0;
}

function rowDirection(row) {
  if (!row.running) return 0;
  return { countup: 1, countdown: -1, clock: 1 }[row.mode] ?? 0;
}

// The display a viewer was asked for by name or address; undefined when none is listed.
export function displayAsked(displays, asked) {
  return displays.find((d) => d.address === asked) ?? displays.find((d) => d.name === asked);
}

// state: the controller's state; asked: the ?display= of the address, or null for the mirror.
export function viewerShows(state, asked) {
  const program = state.program ?? {};
  const mirror = state.mirror ?? {};
  const captions = state.captions ?? {};
  const inProgram = mirror.mode === "program";
  const colours = inProgram ? programColours(program) : DEFAULT_COLOURS;
  const caption = inProgram
    ? programCaption(program, mirror, captions.program === "Pause")
    : mirrorMode(mirror, captions);
  if (asked === null) {
    return {
      text: mirror.text || "",
      direction: mirrorDirection(mirror),
      interval: mirror.format === 3,
      caption,
      colours,
      lost: "",
    };
  }
  const row = displayAsked(state.displays ?? [], asked);
  if (!row) return { text: "", direction: 0, caption: "", colours, lost: `No display "${asked}" is listed` };
  const health = displayHealth(row);
  if (health) return { text: "", direction: 0, caption: "", colours, lost: `${row.name}: ${health}` };
  return {
    text: row.time,
    direction: rowDirection(row),
    interval: false,
    caption: [row.name, row.selected ? caption : modeText(row.mode, row.running)]
      .filter(Boolean)
      .join(" · "),
    colours: row.selected ? colours : DEFAULT_COLOURS,
    lost: "",
  };
}
