#include "VentanaPrincipal.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QProgressBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QTranslator>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <regex>

#include "DialogoConexion.h"
#include "DialogoResumen.h"
#include "DialogoSelTablas.h"
#include "PanelDetalles.h"
#include "app/TextoFin.h"
#include "app/frmMain.h"
#include "common/Interrupcion.h"
#include "common/Plataforma.h"

namespace varlo::gui {

namespace {

// The events of the window are serviced at most this often during a run.
constexpr std::int64_t kIntervaloEventosMs = 50;

// Client area of the original window, and where its label sat in it.
constexpr int kAnchoInicial = 383;
constexpr QMargins kMargenEtiqueta(36, 2, 3, 0);
constexpr int kEspacioBoton = 6;

std::int64_t RelojMonotono() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

QString Qs(const std::string& s) {
  return QString::fromStdString(s);
}

int AEnteroBarra(double v) {
  if (!(v > 0)) return 0;
  if (v >= static_cast<double>(INT_MAX)) return INT_MAX;
  return static_cast<int>(std::lround(v));
}

QMessageBox::Icon IconoQt(Icono icono) {
  switch (icono) {
    case Icono::Pregunta:
      return QMessageBox::Question;
    case Icono::Critico:
      return QMessageBox::Critical;
    case Icono::Exclamacion:
      return QMessageBox::Warning;
    case Icono::Informacion:
      return QMessageBox::Information;
    case Icono::Ninguno:
      break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

VentanaPrincipal::VentanaPrincipal(QWidget* padre)
    : QWidget(padre),
      reloj_(RelojMonotono),
      personaPresente_(HayPersona(EntornoActual())),
      abre_([](const QString& ruta) {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(ruta));
      }) {
  setObjectName("frmMain");
  setWindowTitle(kCaptionVentana);
  setWindowIcon(style()->standardIcon(QStyle::SP_DriveNetIcon));

  label1_ = new QLabel("Label1", this);
  label1_->setObjectName("Label1");
  label1_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label1_->setWordWrap(true);

  progressBar1_ = new QProgressBar(this);
  progressBar1_->setObjectName("ProgressBar1");
  progressBar1_->setRange(0, 100);
  progressBar1_->setValue(0);
  progressBar1_->setTextVisible(false);

  cmdDetalles_ = new QToolButton(this);
  cmdDetalles_->setObjectName("cmdDetalles");
  cmdDetalles_->setText("Detalles");
  cmdDetalles_->setToolTip("Avance de cada importación y líneas de error");
  cmdDetalles_->setCheckable(true);
  cmdDetalles_->setAutoRaise(true);
  cmdDetalles_->setArrowType(Qt::RightArrow);
  cmdDetalles_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  connect(cmdDetalles_, &QToolButton::toggled, this, &VentanaPrincipal::MuestraDetalles);

  detalles_ = new PanelDetalles(this);
  detalles_->EstableceAbridor([this](const QString& ruta) { return abre_ && abre_(ruta); });
  detalles_->hide();

  // The label keeps the strip on its left the original window left free;
  // the bar takes the whole bottom while "Detalles" is folded, and the
  // details go below it. All of it grows with the font.
  fila_ = new QHBoxLayout;
  fila_->setContentsMargins(kMargenEtiqueta);
  fila_->setSpacing(kEspacioBoton);
  fila_->addWidget(label1_, 1);
  fila_->addWidget(cmdDetalles_, 0, Qt::AlignTop);
  columna_ = new QVBoxLayout(this);
  columna_->setContentsMargins(0, 0, 0, 0);
  columna_->setSpacing(0);
  columna_->addLayout(fila_, 1);
  columna_->addWidget(progressBar1_);
  columna_->addWidget(detalles_, 1);
  AjustaAlturaEtiqueta();
  resize(kAnchoInicial, minimumSizeHint().height());

  pintaDespues_.setSingleShot(true);
  connect(&pintaDespues_, &QTimer::timeout, this, [this] {
    if (pendiente_) Pinta();
  });

  // The signal handlers only note the request; whatever waits in a dialog
  // (the summary, a box, the Open dialog) learns of it here.
  vigiaInterrupcion_.setInterval(kIntervaloVigiaMs);
  connect(&vigiaInterrupcion_, &QTimer::timeout, this, &VentanaPrincipal::AtiendeInterrupcion);
  vigiaInterrupcion_.start();
}

void VentanaPrincipal::AtiendeInterrupcion() {
  if (!InterrupcionPedida()) return;
  for (QWidget* menu = QApplication::activePopupWidget(); menu != nullptr;
       menu = QApplication::activePopupWidget())
    if (!menu->close()) break;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* dialogo = qobject_cast<QDialog*>(w); dialogo != nullptr && dialogo->isVisible())
      dialogo->reject();
}

void VentanaPrincipal::MuestraAvance(const std::string& nombre, const ResumenImportacion& r) {
  // The bar counts the source's lines, heading lines included.
  const long hechas = std::lround(Valor()) - r.omitidas;
  detalles_->Avance(nombre, r, std::max(0L, hechas), reloj_());
  CambioPendiente();
}

void VentanaPrincipal::MuestraImportacion(const ImportacionCorrida& i) {
  detalles_->Termina(i);
  CambioPendiente();
}

void VentanaPrincipal::MuestraError(const std::string& linea) {
  detalles_->AgregaError(linea);
  CambioPendiente();
}

void VentanaPrincipal::MuestraDetalles(bool ver) {
  if (cmdDetalles_->isChecked() != ver) {
    cmdDetalles_->setChecked(ver);  // comes back here through `toggled`
    return;
  }
  if (ver == desplegado_) return;
  desplegado_ = ver;
  cmdDetalles_->setArrowType(ver ? Qt::DownArrow : Qt::RightArrow);
  if (ver) {
    tamanoPlegado_ = size();
    detalles_->Refresca(reloj_());
    detalles_->show();
    columna_->setStretchFactor(fila_, 0);
    layout()->activate();
    // Room for the columns of the table and a few rows of each list.
    const int renglon = fontMetrics().lineSpacing();
    resize(std::max(width(), fontMetrics().horizontalAdvance(QString(84, 'n'))),
           std::max(height(), minimumSizeHint().height() + 14 * renglon));
  } else {
    detalles_->hide();
    columna_->setStretchFactor(fila_, 1);
    layout()->activate();
    resize(tamanoPlegado_.width(), std::max(tamanoPlegado_.height(), minimumSizeHint().height()));
  }
}

// The engines change the status and the bar on every record; painting each
// change made a run several times slower than in the console.
void VentanaPrincipal::EstadoCambiado() {
  CambioPendiente();
}

void VentanaPrincipal::ProgresoCambiado() {
  CambioPendiente();
}

void VentanaPrincipal::CambioPendiente() {
  pendiente_ = true;
  const std::int64_t pasado = ultimoPintado_ ? reloj_() - *ultimoPintado_ : kIntervaloPintadoMs;
  if (pasado >= kIntervaloPintadoMs)
    Pinta();
  else if (!pintaDespues_.isActive())
    pintaDespues_.start(static_cast<int>(kIntervaloPintadoMs - pasado));
}

void VentanaPrincipal::Pinta() {
  pintaDespues_.stop();
  pendiente_ = false;
  ultimoPintado_ = reloj_();
  const QString texto = Qs(Estado());
  if (label1_->text() != texto) {
    label1_->setText(texto);
    AjustaAlturaEtiqueta();
    label1_->repaint();
  }
  const int maximo = AEnteroBarra(Maximo());
  if (progressBar1_->maximum() != maximo) progressBar1_->setRange(0, maximo);
  progressBar1_->setValue(std::min(AEnteroBarra(Valor()), maximo));
  detalles_->Refresca(*ultimoPintado_);
}

void VentanaPrincipal::AjustaAlturaEtiqueta() {
  // Room for two lines at least, and for the whole text at the label's
  // width: a long path wraps and the counter at its end stays visible.
  const int ancho = width() - kMargenEtiqueta.left() - kMargenEtiqueta.right() -
                    cmdDetalles_->sizeHint().width() - kEspacioBoton;
  const int alto =
      std::max(2 * label1_->fontMetrics().lineSpacing(), label1_->heightForWidth(ancho));
  if (label1_->minimumHeight() == alto) return;
  label1_->setMinimumHeight(alto);
  // The window grows now, before the label is painted.
  layout()->activate();
}

void VentanaPrincipal::resizeEvent(QResizeEvent* evento) {
  QWidget::resizeEvent(evento);
  AjustaAlturaEtiqueta();
}

void VentanaPrincipal::ProcesaEventos() {
  const std::int64_t ahora = reloj_();
  if (ultimoServicio_ && ahora - *ultimoServicio_ < kIntervaloEventosMs) return;
  ultimoServicio_ = ahora;
  if (pendiente_) CambioPendiente();
  QCoreApplication::processEvents();
}

void VentanaPrincipal::ProgramaActivacion() {
  // From the event loop, so that the window is drawn before the run begins
  // and a run never starts inside the event handler itself.
  QTimer::singleShot(0, this, [this] {
    if (alActivar_) alActivar_();
  });
}

void VentanaPrincipal::showEvent(QShowEvent* evento) {
  QWidget::showEvent(evento);
  if (!inicio_) inicio_ = reloj_();
  ProgramaActivacion();
}

void VentanaPrincipal::changeEvent(QEvent* evento) {
  QWidget::changeEvent(evento);
  if (evento->type() == QEvent::FontChange) AjustaAlturaEtiqueta();
  if (evento->type() == QEvent::ActivationChange && isActiveWindow()) ProgramaActivacion();
}

void VentanaPrincipal::closeEvent(QCloseEvent* evento) {
  // The run always ends by itself; closing halfway would leave it going
  // without a window.
  if (!permiteCerrar_) {
    evento->ignore();
    return;
  }
  if (!terminada_) {
    terminada_ = true;
    TerminaCorrida();
  }
  evento->accept();
}

void VentanaPrincipal::TerminaCorrida() {
  const FinCorrida fin = finCorrida_ ? finCorrida_() : FinCorrida{};
  // No definitions file: the person cancelled, nothing ran.
  const bool nadaHecho = fin.estado == 2 && fin.error.empty() && resumenes_.empty();
  if (!nadaHecho) EstableceEstado(TextoFinal(fin.estado));
  PintaPendiente();
  // An interrupted run was stopped by somebody who wants it to end.
  const bool interrumpida =
      InterrupcionPedida() || fin.estado == 129 || fin.estado == 130 || fin.estado == 143;
  if (!personaPresente_ || nadaHecho || interrumpida) return;

  ContenidoResumen c;
  c.estado = Qs(Estado());
  c.conErrores = fin.estado != 0;
  c.duracion = Qs(TextoDuracion(inicio_ ? reloj_() - *inicio_ : 0));
  for (const std::string& linea : resumenes_) c.lineas << Qs(linea);
  c.error = Qs(fin.error);
  const std::string carpetaLog = UneRuta(CarpetaPrograma(), "Log");
  c.bitacora = Qs(UltimaBitacora(carpetaLog));
  std::error_code ec;
  for (const std::string& nombre : ArchivosRechazados(resumenes_)) {
    const std::string ruta = UneRuta(CarpetaPrograma(), nombre);
    if (std::filesystem::is_regular_file(ruta, ec)) c.rechazados << Qs(ruta);
  }
  DialogoResumen resumen(c, abre_, this);
  resumen.exec();
}

bool VentanaPrincipal::HayPersona(const EntornoPersona& e) {
  if (e.plataforma == "offscreen" || e.plataforma == "minimal") return false;
  if (e.servicio) return false;
  return e.entradaTerminal || e.sesionEscritorio;
}

EntornoPersona VentanaPrincipal::EntornoActual() {
  auto definida = [](const char* nombre) {
    const char* v = std::getenv(nombre);
    return v != nullptr && *v != '\0';
  };
  EntornoPersona e;
  e.plataforma = QGuiApplication::platformName().toStdString();
  e.entradaTerminal = EntradaEsTerminal();
  // systemd gives every unit it starts an invocation id.
  e.servicio = definida("INVOCATION_ID");
#ifdef _WIN32
  e.sesionEscritorio = true;
#else
  e.sesionEscritorio = definida("XDG_CURRENT_DESKTOP") || definida("DESKTOP_SESSION") ||
                       definida("XDG_SESSION_TYPE");
#endif
  return e;
}

std::string VentanaPrincipal::TextoFinal(int estado) {
  // the console's last line says the same
  return TextoFin(estado);
}

std::string VentanaPrincipal::TextoDuracion(std::int64_t milisegundos) {
  char texto[64];
  if (milisegundos < 60000) {
    std::snprintf(texto, sizeof texto, "%.1f s", static_cast<double>(milisegundos) / 1000);
    std::string r = texto;
    std::replace(r.begin(), r.end(), '.', ',');
    return r;
  }
  const std::int64_t s = (milisegundos + 500) / 1000;
  const long horas = static_cast<long>(s / 3600), minutos = static_cast<long>(s / 60 % 60),
             segundos = static_cast<long>(s % 60);
  if (horas > 0)
    std::snprintf(texto, sizeof texto, "%ld h %02ld min %02ld s", horas, minutos, segundos);
  else
    std::snprintf(texto, sizeof texto, "%ld min %02ld s", minutos, segundos);
  return texto;
}

std::vector<std::string> VentanaPrincipal::ArchivosRechazados(
    const std::vector<std::string>& lineas) {
  // "..., 1 rechazadas (Log/Empleado_Er.txt), 0 sin procesar, ..."
  static const std::regex patron(R"( rechazadas \((.+?)\), \d+ sin procesar)");
  std::vector<std::string> r;
  for (const std::string& linea : lineas) {
    std::smatch m;
    if (std::regex_search(linea, m, patron) && std::find(r.begin(), r.end(), m[1].str()) == r.end())
      r.push_back(m[1].str());
  }
  return r;
}

std::string VentanaPrincipal::UltimaBitacora(const std::string& carpetaLog) {
  // The log is written month by month as "<name>_<month><year>[(n)].log".
  const std::string base = std::filesystem::path(frmMain::ArchivoLog()).stem().string() + "_";
  std::string r;
  std::filesystem::file_time_type masNueva{};
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(carpetaLog, ec)) {
    const std::string nombre = e.path().filename().string();
    if (nombre.rfind(base, 0) != 0 || e.path().extension() != ".log") continue;
    const auto cuando = e.last_write_time(ec);
    if (ec) continue;
    if (r.empty() || cuando > masNueva) {
      r = e.path().string();
      masNueva = cuando;
    }
  }
  return r;
}

void VentanaPrincipal::PintaPendiente() {
  if (pendiente_) Pinta();
}

Respuesta VentanaPrincipal::MuestraMensaje(const std::string& texto, Botones botones, Icono icono,
                                           const std::string& titulo) {
  PintaPendiente();
  // Asked to stop: nobody is waited for, every question is answered No.
  if (InterrupcionPedida()) return botones == Botones::SiNo ? Respuesta::No : Respuesta::Aceptar;
  QString t = Qs(texto);
  t.replace("\r\n", "\n");
  t.replace('\r', '\n');
  QMessageBox caja(
      IconoQt(icono), Qs(titulo), t,
      botones == Botones::SiNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok, this);
  caja.setObjectName("MensajeVarlo");
  if (botones == Botones::SiNo) {
    caja.button(QMessageBox::Yes)->setText("Sí");
    caja.button(QMessageBox::No)->setText("No");
    caja.setDefaultButton(QMessageBox::Yes);
  } else {
    caja.button(QMessageBox::Ok)->setText("Aceptar");
  }
  const int r = caja.exec();
  if (botones == Botones::Aceptar) return Respuesta::Aceptar;
  return r == QMessageBox::Yes ? Respuesta::Si : Respuesta::No;
}

bool VentanaPrincipal::HayPantalla(const std::function<std::string(const char*)>& variable,
                                   const std::vector<std::string>& argumentos) {
#if defined(_WIN32) || defined(__APPLE__)
  (void)variable;
  (void)argumentos;
  return true;
#else
  for (const std::string& a : argumentos)
    if (a == "-platform" || a == "--platform" || a.rfind("-platform=", 0) == 0 ||
        a.rfind("--platform=", 0) == 0)
      return true;
  for (const char* nombre : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
    if (!variable(nombre).empty()) return true;
  return false;
#endif
}

bool VentanaPrincipal::HayPantalla(int argc, char** argv) {
  return HayPantalla(
      [](const char* nombre) {
        const char* valor = std::getenv(nombre);
        return std::string(valor ? valor : "");
      },
      std::vector<std::string>(argv + 1, argv + argc));
}

bool VentanaPrincipal::InstalaTraduccionesQt() {
  auto traductor = std::make_unique<QTranslator>();
  if (!traductor->load("qtbase_es", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    return false;
  QCoreApplication::installTranslator(traductor.get());
  // The application keeps it for the rest of the program.
  traductor.release()->setParent(QCoreApplication::instance());
  return true;
}

QString VentanaPrincipal::FiltroQt(const std::string& filtro) {
  const QStringList piezas = Qs(filtro).split('|');
  QStringList filtros;
  for (qsizetype i = 0; i + 1 < piezas.size(); i += 2) {
    const QString& descripcion = piezas[i];
    const QString patron = QString(piezas[i + 1]).replace(';', ' ');
    // Qt takes the patterns from the parentheses of the description.
    filtros << (descripcion.contains("(" + patron + ")") ? descripcion
                                                         : descripcion + " (" + patron + ")");
  }
  if (piezas.size() % 2 == 1 && !piezas.back().isEmpty() && filtros.isEmpty())
    filtros << piezas.back();
  return filtros.join(";;");
}

void VentanaPrincipal::PreparaDialogo(QFileDialog& dialogo, const DialogoArchivo& d, bool guardar) {
  dialogo.setObjectName(guardar ? "DialogoGuardar" : "DialogoAbrir");
  dialogo.setWindowTitle(Qs(d.titulo));
  dialogo.setAcceptMode(guardar ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  // Like the common dialog without flags: any name may be typed, and the
  // caller, not the dialog, decides about a file that already exists.
  dialogo.setFileMode(QFileDialog::AnyFile);
  dialogo.setOption(QFileDialog::DontConfirmOverwrite, true);
  if (!d.carpetaInicial.empty()) dialogo.setDirectory(Qs(d.carpetaInicial));
  const QString filtro = FiltroQt(d.filtro);
  if (!filtro.isEmpty()) dialogo.setNameFilter(filtro);
  QString sufijo = Qs(d.extension);
  if (sufijo.startsWith('.')) sufijo.remove(0, 1);
  dialogo.setDefaultSuffix(sufijo);
  if (!d.nombre.empty()) dialogo.selectFile(Qs(d.nombre));
}

std::string VentanaPrincipal::MuestraDialogoArchivo(const DialogoArchivo& d, bool guardar) {
  PintaPendiente();
  if (InterrupcionPedida()) return "";
  QFileDialog dialogo(this);
  PreparaDialogo(dialogo, d, guardar);
  if (dialogo.exec() != QDialog::Accepted) return "";
  const QStringList elegidos = dialogo.selectedFiles();
  return elegidos.isEmpty() ? std::string() : elegidos.front().toStdString();
}

std::string VentanaPrincipal::MuestraAbrir(const DialogoArchivo& d) {
  return MuestraDialogoArchivo(d, false);
}

std::string VentanaPrincipal::MuestraGuardar(const DialogoArchivo& d) {
  return MuestraDialogoArchivo(d, true);
}

std::optional<std::string> VentanaPrincipal::ComponeConexion(const std::string& semilla,
                                                             ProbarConexion probar) {
  PintaPendiente();
  if (InterrupcionPedida()) return std::nullopt;
  DialogoConexion dialogo(semilla, std::move(probar), this);
  if (dialogo.exec() != QDialog::Accepted) return std::nullopt;
  return dialogo.Cadena();
}

std::vector<bool> VentanaPrincipal::EligeTablas(const std::vector<std::string>& tablas) {
  PintaPendiente();
  if (InterrupcionPedida()) return std::vector<bool>(tablas.size(), false);
  DialogoSelTablas dialogo(tablas, this);
  dialogo.exec();
  return dialogo.Marcadas();
}

}  // namespace varlo::gui
