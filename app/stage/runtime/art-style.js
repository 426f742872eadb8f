// Injected when the main frame's document is ready: no scroll bars on a wall.
(function () {
  var style = document.createElement('style');
  style.textContent = 'html,body{overflow:hidden!important;} ::-webkit-scrollbar{display:none;}';
  (document.head || document.documentElement).appendChild(style);
})();
