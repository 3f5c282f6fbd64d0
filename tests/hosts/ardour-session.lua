-- Run by ardour-session.sh in Debian's Ardour 7 Lua front end (ardour7-lua) on the dummy back end,
-- whose "Sine Wave" device feeds every capture port a sine. One plug-in build in a stereo track:
-- the level after it with the filter open, a parameter set, the level again, the session saved,
-- closed and loaded, the parameter and the level read back. Prints "RESULT ok" when all holds;
-- ardour7-lua's exit status does not tell a failed script.

local folder = os.getenv ("TESSALINE_SESSION")
local pluginId = os.getenv ("TESSALINE_PLUGIN_ID")
local pluginType = ARDOUR.PluginType[os.getenv ("TESSALINE_PLUGIN_TYPE")]
-- the parameter set and its value as the host sees it, or, for a build whose parameters this
-- front end cannot reach (LV2 parameters are patch properties, not control ports), the label of
-- a preset that sets the same
local parameter = tonumber (os.getenv ("TESSALINE_PARAMETER_INDEX") or "")
local value = tonumber (os.getenv ("TESSALINE_PARAMETER_VALUE") or "")
local parameterName = os.getenv ("TESSALINE_PARAMETER_NAME")
local preset = os.getenv ("TESSALINE_PRESET")
local failed = false

local function check (condition, what)
  print ((condition and "ok: " or "FAIL: ") .. what)
  io.stdout:flush ()
  if not condition then failed = true end
end

local function findPlugin (track)
  local proc = track:nth_plugin (0)
  if proc:isnil () or proc:to_insert ():isnil () then return nil end
  return proc
end

-- The peak level after the plug-in, once it has settled: a change reaches the plug-in a little
-- later (a preset through Ardour's worker), the filter rings on for a while and the meter's
-- reading falls off slowly, so wait a second, then clear its hold and read again until two
-- readings agree (6 s more at most).
local function level (track)
  local meter = track:peak_meter ()
  ARDOUR.LuaAPI.usleep (1000000)
  local last = nil
  for _ = 1, 20 do
    meter:reset_max ()
    ARDOUR.LuaAPI.usleep (300000)
    local now = meter:meter_level (0, ARDOUR.MeterType.MeterPeak)
    if last and math.abs (now - last) < 0.5 then return now end
    last = now
  end
  return last
end

AudioEngine:set_backend ("None (Dummy)", "", "")
AudioEngine:set_device_name ("Sine Wave")

local session = create_session (folder, "tessaline", 48000)
check (session ~= nil, "new session")

local track = Session:new_audio_track (2, 2, nil, 1, "Filtered", -1, ARDOUR.TrackMode.Normal, true):front ()
check (track ~= nil and track:n_inputs ():n_audio () == 2, "stereo track")
track:monitoring_control ():set_value (ARDOUR.MonitorChoice.MonitorInput, PBD.GroupControlDisposition.NoGroup)

local proc = ARDOUR.LuaAPI.new_plugin (Session, pluginId, pluginType, "")
check (not proc:isnil (), "plug-in created")
check (track:add_processor_by_index (proc, 0, nil, true) == 0, "plug-in inserted")
local plugin = proc:to_insert ():plugin (0)
check (plugin:name () == "Tessaline", "plug-in named Tessaline (" .. plugin:name () .. ")")

local open = level (track)
print ("level with the defaults: " .. open .. " dB")
check (open > -40, "the sine passes the open filter")

local closed = open
if parameter then
  check (plugin:parameter_label (parameter) == parameterName, "parameter " .. parameter .. " is " .. parameterName)
  ARDOUR.LuaAPI.set_processor_param (proc, parameter, value)
  closed = level (track)
  print ("level with the parameter set: " .. closed .. " dB")
  check (open - closed > 40, "the high-pass mode takes the sines down by more than 40 dB")
elseif preset then
  local record = plugin:preset_by_label (preset)
  check (record ~= nil and record.valid, "Ardour lists the preset " .. preset)
  if record and record.valid then plugin:load_preset (record) end
  closed = level (track)
  print ("level with the preset loaded: " .. closed .. " dB")
  check (open - closed > 40, "the preset's high-pass mode takes the sines down by more than 40 dB")
end

check (Session:save_state ("", false, false, false, false, false) == 0, "session saved")
close_session ()

check (load_session (folder, "tessaline") ~= nil, "session loaded again")
local loaded
for route in Session:get_routes ():iter () do
  if route:name () == "Filtered" then loaded = route end
end
check (loaded ~= nil, "the track is back")
local again = findPlugin (loaded)
check (again ~= nil, "the plug-in is back in the track")
if again and parameter then
  local restored = ARDOUR.LuaAPI.get_processor_param (again, parameter, true)
  print ("parameter after loading: " .. restored)
  check (math.abs (restored - value) < 1.0e-3, "the parameter is restored")
end
if again then
  local after = level (loaded)
  print ("level after loading: " .. after .. " dB")
  if parameter or preset then
    check (open - after > 40, "the high-pass mode still takes the sines down by more than 40 dB")
  else
    check (math.abs (after - open) < 1, "the sine still passes the open filter")
  end
end
close_session ()

-- An automation lane written into the saved session, as Ardour saves one: the property's events
-- (its own unit) and the lane in Play. Loaded and rolling, the lane drives the plug-in.
local automated = os.getenv ("TESSALINE_AUTOMATED_PROPERTY")
local automatedValue = os.getenv ("TESSALINE_AUTOMATED_VALUE")
if automated then
  local path = folder .. "/tessaline.ardour"
  local file = io.open (path, "r")
  local text = file:read ("a")
  file:close ()
  local lane = '<AutomationList automation%-id="property%-' .. automated:gsub ("%p", "%%%0") .. '"([^/]-)/>'
  local laneFound = text:find (lane) ~= nil
  check (laneFound, "the saved session has an automation lane for " .. automated)
  -- events at 0 s and 60 s, in superclock ticks (282240000 a second)
  text = text:gsub (lane, function (attributes)
    attributes = attributes:gsub ('state="[^"]*"', 'state="Play"'):gsub ('time%-domain="[^"]*"', 'time-domain="AudioTime"')
    return '<AutomationList automation-id="property-' .. automated .. '"' .. attributes .. '><events>a0 '
           .. automatedValue .. '\na16934400000 ' .. automatedValue .. '\n</events></AutomationList>'
  end)
  file = io.open (path, "w")
  file:write (text)
  file:close ()

  check (load_session (folder, "tessaline") ~= nil, "session with the automation loaded")
  local automatedTrack
  for route in Session:get_routes ():iter () do
    if route:name () == "Filtered" then automatedTrack = route end
  end
  Session:request_locate (0, false, ARDOUR.LocateTransportDisposition.MustStop, ARDOUR.TransportRequestSource.TRS_UI)
  Session:request_roll (ARDOUR.TransportRequestSource.TRS_UI)
  local played = level (automatedTrack)
  print ("level while the automation plays: " .. played .. " dB")
  check (open - played > 40, "the automated high-pass mode takes the sines down by more than 40 dB")
  Session:request_stop (false, false, ARDOUR.TransportRequestSource.TRS_UI)
  for _ = 1, 50 do
    if Session:transport_stopped_or_stopping () then break end
    ARDOUR.LuaAPI.usleep (100000)
  end
  print ("transport stopped")
  -- Closing a session that has rolled waits for ever in this front end: end here instead.
  print (failed and "RESULT failed" or "RESULT ok")
  io.stdout:flush ()
  os.exit (failed and 1 or 0)
end

if not failed then print ("RESULT ok") end
