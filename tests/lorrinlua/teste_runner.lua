-- Runs the test file named by TESTE as Lua's own suite would (_port and _soft set),
-- with the lines listed in skips.lua blanked out, and ends the shell with status 0 when
-- the file ran to its end, 1 when it raised an error.
_port, _soft = true, true

-- The file's chunk, its skipped lines blank so that every other line keeps its number.
local function load_teste(name)
  local blanked = {}
  for _, row in ipairs(dofile("skips.lua")) do
    if row[1] == name then
      for line = row[2], row[3] do blanked[line] = true end
    end
  end
  local file = assert(io.open(name, "rb"))
  local lines, number = {}, 0
  for line in file:lines() do
    number = number + 1
    lines[number] = blanked[number] and "" or line
  end
  file:close()
  return assert(load(table.concat(lines, "\n"), "@" .. name))
end

local chunk = load_teste(TESTE)
-- The loader's strings must not stay in the memory that the tests of the collector count.
collectgarbage()
collectgarbage()
local ok, message = xpcall(chunk, debug.traceback)
if not ok then
  print("TESTE FAILED " .. TESTE .. ": " .. tostring(message))
  os.exit(1)
end
print("TESTE PASSED " .. TESTE)
os.exit(0)
