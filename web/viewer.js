// The viewer: one time, full screen, from the server's event stream. `?display=NAME` (or an
// address) shows that display's own row instead of the mirror; `#token=...` carries the viewer
// token where the server asks for one (a fragment never travels in a request).

import { Connection, fragmentToken, keepScreenOn } from "./connection.js";
import { LiveTime } from "./showntime.js";
import { withDisplay } from "./view.js";
import { viewerShows } from "./viewershows.js";

const $ = (id) => document.getElementById(id);
const asked = new URLSearchParams(window.location.search).get("display");
const state = { displays: [], mirror: {}, captions: {}, program: {} };
const time = new LiveTime();
const OVERLAY_DELAY_MS = 1000;
const TOKEN_RETRY_MS = 10000;

// ---- the state ----

function applyEvent(kind, data) {
  if (kind === "state") Object.assign(state, data);
  else if (kind === "displays") state.displays = data.displays;
  else if (kind === "display") state.displays = withDisplay(state.displays, data);
  else if (kind in state) state[kind] = data;
  else return;
  const shows = viewerShows(state, asked);
  time.tell(shows.text, shows.direction, performance.now(), shows.interval);
  document.body.classList.toggle("lost", shows.lost !== "");
  setText($("caption"), shows.lost || shows.caption);
  $("hours").dataset.colour = shows.colours.hours;
  $("rest").dataset.colour = shows.colours.rest;
}

// ---- drawing ----

function setText(node, text) {
  if (node.textContent !== text) node.textContent = text;
}

let fittedShape = "";

// The digits as large as the width allows (and at most about two thirds of the height), sized
// again only when the shape of the time or the screen changes, so that they never jump.
function fit(shape) {
  if (shape === fittedShape) return;
  fittedShape = shape;
  const box = $("time");
  box.style.fontSize = "100px";
  const { width, height } = box.getBoundingClientRect();
  if (width === 0 || height === 0) return;
  const scale = Math.min((window.innerWidth * 0.94) / width, (window.innerHeight * 0.66) / height);
  box.style.fontSize = `${Math.floor(100 * scale)}px`;
}

function draw() {
  const text = time.textAt(performance.now()) || "--:--";
  const shape = text.replace(/\d/g, "8");
  setText($("unlit"), shape);
  // The hours' digits (or an interval's round) take the colour line's first colour.
  const split = text.search(/[^\d]/);
  setText($("hours"), split < 0 ? text : text.slice(0, split));
  setText($("rest"), split < 0 ? "" : text.slice(split));
  fit(shape);
  requestAnimationFrame(draw);
}

// ---- the link ----

let overlayTimer = 0;

function showOverlay(title, detail, delay = 0) {
  clearTimeout(overlayTimer);
  overlayTimer = setTimeout(() => {
    setText($("overlay-title"), title);
    setText($("overlay-detail"), detail);
    $("overlay").hidden = false;
  }, delay);
}

function hideOverlay() {
  clearTimeout(overlayTimer);
  $("overlay").hidden = true;
}

function showLink(link) {
  document.body.dataset.link = link;
}

const connection = new Connection(
  {
    event: applyEvent,
    online: () => {
      showLink("live");
      hideOverlay();
    },
    offline: () => {
      showLink("offline");
      showOverlay("Connection lost", "The time shown is not live. Trying again…", OVERLAY_DELAY_MS);
    },
    tokenNeeded: (wasWrong) => {
      showLink("token");
      const why = wasWrong ? "The token in this address was not accepted." : "This viewer needs a token.";
      showOverlay(
        "Token needed",
        `${why} Open /viewer#token=TOKEN; qb-timer --viewer-token on the controller shows it.`,
      );
      setTimeout(() => connection.tryAgain(), TOKEN_RETRY_MS);
    },
  },
  fragmentToken(),
);

window.addEventListener("resize", () => (fittedShape = ""));
document.fonts.addEventListener("loadingdone", () => (fittedShape = ""));
keepScreenOn();
connection.start();
requestAnimationFrame(draw);
