// Emscripten's OpenAL hands the clamped distance models to Web Audio's inverse and exponential
// models, which keep fading beyond the maximum distance where OpenAL holds the level. A source
// farther than its maximum distance is placed at that distance on the same bearing from the
// listener: the level is then the clamped one, and the direction it is heard from is unchanged.
(function () {
  var clamped = { 0xd002: true, 0xd006: true };  // AL_INVERSE_DISTANCE_CLAMPED, AL_EXPONENT_DISTANCE_CLAMPED
  var place = AL.updateSourceSpace;
  AL.updateSourceSpace = function (src) {
    place.call(AL, src);
    var panner = src.panner;
    if (!panner || !panner.positionX || !src.context) return;
    var model = src.context.sourceDistanceModel ? src.distanceModel : src.context.distanceModel;
    var most = src.maxDistance;
    if (!clamped[model] || !(most > 0) || !isFinite(most)) return;
    var l = src.context.listener.position;
    var dx = panner.positionX.value - l[0], dy = panner.positionY.value - l[1], dz = panner.positionZ.value - l[2];
    var d = Math.sqrt(dx * dx + dy * dy + dz * dz);
    if (!(d > most)) return;
    var k = most / d;
    panner.positionX.value = l[0] + dx * k;
    panner.positionY.value = l[1] + dy * k;
    panner.positionZ.value = l[2] + dz * k;
  };
  // A listener that moves changes every source's distance.
  var listen = AL.updateListenerSpace;
  AL.updateListenerSpace = function (ctx) {
    listen.call(AL, ctx);
    for (var i in ctx.sources) AL.updateSourceSpace(ctx.sources[i]);
  };
})();
