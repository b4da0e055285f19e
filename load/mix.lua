-- wrk script for tarnix-service: good translation requests mixed with bad ones,
-- every answer checked against what its request must get. Run with as many
-- threads as connections (wrk -tN -cN), so that each thread's one connection
-- pairs every answer with the request just sent.

local form = "application/x-www-form-urlencoded"

local function post(path, ctype, body)
  return wrk.format("POST", path, { ["Host"] = "127.0.0.1", ["Content-Type"] = ctype }, body)
end

-- With LOAD_MEMORY_TEXTS=n every request asks one of n texts, which the
-- translation memory answers after its first time (memory hits).
local memoryTexts = tonumber(os.getenv("LOAD_MEMORY_TEXTS") or "0")
local function textOf(n) return memoryTexts > 0 and n % memoryTexts or n end

-- kind: weight out of 100, the request for serial n, accepted statuses, whether
-- a 200 page must hold the text it sent.
local kinds = {
  { 62, function(n) return post("/", form, "sl=en&tl=es&text=load%20" .. textOf(n) .. "%20hello") end, { 200, 503 }, true },
  { 8, function(n) return post("/", form, "sl=fr&tl=fr&text=load%20" .. n .. "%20hello") end, { 200 }, true },
  { 5, function() return post("/", form, "sl=en&tl=es") end, { 400 } },
  { 5, function() return post("/", form, "sl=en&tl=es&text=%G1") end, { 400 } },
  { 5, function() return post("/", form, "sl=en&tl=es&text=caf%E9") end, { 400 } },
  { 5, function() return wrk.format("GET", "/?sl=en&tl=es&text=x", { ["Host"] = "127.0.0.1" }) end, { 405 } },
  { 4, function() return post("/translate", form, "sl=en&tl=es&text=x") end, { 404 } },
  { 4, function() return post("/", "text/plain", "sl=en&tl=es&text=x") end, { 415 } },
  { 1, function() return "NONSENSE\r\n\r\n" end, { 400 } },
  { 1, function() return post("/", form, "sl=en&tl=es&text=" .. string.rep("a", 1024 * 1024 + 1)) end, { 413 } },
}

if memoryTexts > 0 then kinds = { { 100, kinds[1][2], { 200 }, true } } end

local threads = {}
function setup(thread)
  thread:set("id", #threads)
  table.insert(threads, thread)
end

local serial, kind, sent = 0, nil, nil
answers, wrong, lastWrong, fromMemory = 0, 0, "", 0

function request()
  serial = serial + 1
  local pick = (id * 7919 + serial * 104729) % 100
  kind = 1
  while pick >= kinds[kind][1] do
    pick = pick - kinds[kind][1]
    kind = kind + 1
  end
  sent = "load " .. textOf(serial) .. " hello"
  return kinds[kind][2](serial)
end

function response(status, headers, body)
  answers = answers + 1
  if headers["X-Tarnix-Memory"] == "yes" then fromMemory = fromMemory + 1 end
  local k = kinds[kind]
  local ok = false
  for _, s in ipairs(k[3]) do ok = ok or s == status end
  if ok and status == 200 and k[4] then ok = body:find(sent, 1, true) ~= nil end
  if not ok then
    wrong = wrong + 1
    lastWrong = "kind " .. kind .. " got " .. status
  end
end

function done(summary, latency, requests)
  local total, bad, hits = 0, 0, 0
  for _, t in ipairs(threads) do
    total = total + t:get("answers")
    bad = bad + t:get("wrong")
    hits = hits + t:get("fromMemory")
    if t:get("wrong") > 0 then print("wrong answer: " .. t:get("lastWrong")) end
  end
  local e = summary.errors
  print(string.format("answers %d (%.0f a second, %d from memory), wrong %d; p50 %.2f ms, p99 %.2f ms; closed or failed: connect %d, read %d, write %d, timeout %d",
    total, total / (summary.duration / 1e6), hits, bad, latency:percentile(50) / 1000, latency:percentile(99) / 1000,
    e.connect, e.read, e.write, e.timeout))
  if bad > 0 or total == 0 then os.exit(1) end
end
