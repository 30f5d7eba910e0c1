// Durations as the operator types and reads them: "5" is five minutes, "5:30" five minutes and
// thirty seconds, "1:05:00" an hour and five minutes.

// Seconds, or null when the text is no duration.
export function parseDuration(text) {
  const parts = text.trim().split(":");
  if (parts.length > 3 || !parts.every((part) => /^\d{1,4}$/.test(part))) return null;
  const numbers = parts.map(Number);
  if (numbers.length === 1) return numbers[0] * 60;
  if (numbers.slice(1).some((n) => n > 59)) return null;
  return numbers.reduce((total, n) => total * 60 + n, 0);
}

// 65 -> "1:05", 3725 -> "1:02:05".
export function formatDuration(seconds) {
  const h = Math.floor(seconds / 3600);
  const m = Math.floor((seconds % 3600) / 60);
  const s = seconds % 60;
  const two = (n) => String(n).padStart(2, "0");
  return h > 0 ? `${h}:${two(m)}:${two(s)}` : `${m}:${two(s)}`;
}

// The count-down's parameters for a number of seconds: hours up to 99, and the format that
// shows them.
export function countDownOf(seconds) {
  return {
    hours: Math.floor(seconds / 3600),
    minutes: Math.floor((seconds % 3600) / 60),
    seconds: seconds % 60,
    format: seconds >= 3600 ? "hh:mm:ss" : "mm:ss.t",
  };
}
