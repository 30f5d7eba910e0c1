// Shown times ("00:04:59.3", "1-02:03:04", "14:05:09", "3-00:20") advanced between the server's
// events, so that the digits move at their own pace instead of the network's.
//
// The server tells a running time each time its text changes, so the moment a new text arrives is
// the moment it turned: counting up it has just reached the text, counting down it is just below
// the next higher value. From there the time advances by the local clock, never more than a step
// and a second past the last word from the server.

const HOUR = 3600000;

// Each field's worth in ms; null for a field that does not count (an interval's round).
const SHAPES = [
  { pattern: /^(\d+):(\d\d):(\d\d)\.(\d)$/, units: [HOUR, 60000, 1000, 100] },
  { pattern: /^(\d+)-(\d\d):(\d\d):(\d\d)$/, units: [24 * HOUR, HOUR, 60000, 1000] },
  { pattern: /^(\d\d):(\d\d):(\d\d)$/, units: [HOUR, 60000, 1000], wraps: 24 * HOUR },
];
const INTERVAL = { pattern: /^(\d+)-(\d\d):(\d\d)$/, units: [null, 60000, 1000] };

// The text's fields, their worth and the step of its last field; null for a text that does not
// count in a known way. `interval` says "N-mm:ss" is a round and a time, not days and hours.
export function parseShown(text, interval = false) {
  for (const shape of interval ? [INTERVAL] : SHAPES) {
    const match = shape.pattern.exec(text);
    if (!match) continue;
    const fields = match.slice(1);
    const ms = fields.reduce((sum, field, i) => sum + (shape.units[i] ?? 0) * Number(field), 0);
    return { text, shape, fields, ms, step: shape.units[shape.units.length - 1] };
  }
  return null;
}

// `parsed` with its time set to `ms`, in the same shape and field widths.
export function formatShown(parsed, ms) {
  const { shape, fields } = parsed;
  let rest = Math.max(0, Math.floor(ms / parsed.step) * parsed.step);
  if (shape.wraps) rest %= shape.wraps;
  const values = shape.units.map((unit, i) => {
    if (unit === null) return fields[i];
    const value = Math.floor(rest / unit);
    rest -= value * unit;
    return String(value).padStart(fields[i].length, "0");
  });
  let out = "";
  let at = 0;
  values.forEach((value, i) => {
    const start = parsed.text.indexOf(fields[i], at);
    out += parsed.text.slice(at, start) + value;
    at = start + fields[i].length;
  });
  return out + parsed.text.slice(at);
}

// A time as the server last told it, advanced locally while it runs.
export class LiveTime {
  constructor() {
    this.text = "";
    this.direction = 0;
    this.parsed = null;
    this.since = 0;
  }

  // direction: 1 counting up, -1 down, 0 still. A text or direction that did not change keeps
  // the moment the time turned.
  tell(text, direction, now, interval = false) {
    if (text === this.text && direction === this.direction) return;
    this.text = text;
    this.direction = direction;
    this.since = now;
    this.parsed = direction !== 0 ? parseShown(text, interval) : null;
  }

  textAt(now) {
    const parsed = this.parsed;
    if (!parsed) return this.text;
    const elapsed = Math.min(Math.max(0, now - this.since), parsed.step + 1000);
    const turned = this.direction > 0 ? parsed.ms : parsed.ms + parsed.step - 1;
    return formatShown(parsed, turned + this.direction * elapsed);
  }
}

// An ISO-8601 time as the local time of day, "20:14:05"; "" for none.
export function timeOfDay(iso) {
  const when = iso ? new Date(iso) : null;
  if (!when || Number.isNaN(when.getTime())) return "";
  const two = (n) => String(n).padStart(2, "0");
  return `${two(when.getHours())}:${two(when.getMinutes())}:${two(when.getSeconds())}`;
}
