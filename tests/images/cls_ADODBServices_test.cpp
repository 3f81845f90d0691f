#include "images/cls_ADODBServices.h"

#include <gtest/gtest.h>
#include <stb/stb_image_write.h>

#include <filesystem>
#include <random>
#include <regex>
#include <set>

#include "app/VentanaFalsa.h"
#include "common/ErrorVarlo.h"
#include "common/Plataforma.h"
#include "db/Recordset.h"
#include "support/CarpetaTemporal.h"

namespace varlo {
namespace {

namespace fs = std::filesystem;
using db::Bytes;
using prueba::CarpetaTemporal;

// A one-row recordset over plain values that records how its binary
// fields are written and read in pieces.
class RecordsetFalso : public db::Recordset {
 public:
  explicit RecordsetFalso(int campos) : valores(campos), leidos_(campos, 0) {
    for (int i = 0; i < campos; ++i) info_.push_back({"C" + std::to_string(i), 205, 0});
  }

  std::vector<db::Valor> valores;
  std::vector<std::size_t> trozosAnadidos;
  std::vector<std::size_t> trozosPedidos;
  bool bof = false, eof = false, fallaPosicion = false, rechazaAsignacion = false;
  long posicion = 1, cuenta = 1;

  int State() const override { return 1; }
  bool BOF() const override { return bof; }
  bool EOF_() const override { return eof; }
  void MoveNext() override {}
  long RecordCount() const override { return cuenta; }
  long AbsolutePosition() const override {
    if (fallaPosicion) LanzaError(errores::SinRegistroActual);
    return posicion;
  }
  int FieldCount() const override { return static_cast<int>(valores.size()); }
  const db::InfoCampo& Field(int i) const override { return info_.at(i); }
  int IndiceCampo(std::string_view) const override { LanzaError(errores::ElementoNoEncontrado); }
  const db::Valor& Value(int i) const override { return valores.at(i); }
  void AddNew() override {}
  void AsignaTexto(int i, const std::string& t) override { Asigna(i, t); }
  void Asigna(int i, const db::Valor& v) override {
    if (rechazaAsignacion) LanzaError(-2147217887, "La columna rechazó el valor");
    valores.at(i) = v;
  }
  void AppendChunk(int i, const Bytes& trozo) override {
    trozosAnadidos.push_back(trozo.size());
    if (!std::holds_alternative<Bytes>(valores.at(i))) valores.at(i) = Bytes{};
    auto& b = std::get<Bytes>(valores.at(i));
    b.insert(b.end(), trozo.begin(), trozo.end());
  }
  Bytes GetChunk(int i, std::size_t cuantos) override {
    trozosPedidos.push_back(cuantos);
    const auto& b = std::get<Bytes>(valores.at(i));
    const std::size_t desde = std::min(leidos_.at(i), b.size());
    const std::size_t hasta = std::min(desde + cuantos, b.size());
    leidos_.at(i) = hasta;
    return Bytes(b.begin() + desde, b.begin() + hasta);
  }
  long ActualSize(int i) const override {
    const auto* b = std::get_if<Bytes>(&valores.at(i));
    return b ? static_cast<long>(b->size()) : 0;
  }
  void Update() override {}
  void CancelUpdate() override {}
  int EditMode() const override { return adEditNone; }
  void Close() override {}

 private:
  std::vector<db::InfoCampo> info_;
  std::vector<std::size_t> leidos_;
};

Bytes BytesDe(const std::string& s) { return Bytes(s.begin(), s.end()); }
Bytes LeeArchivo(const std::string& ruta) { return BytesDe(prueba::LeeBytes(ruta)); }

// Pixels that do not compress, so the encoded file spans several chunks.
Imagen ImagenRuido(int ancho, int alto, int canales, unsigned semilla) {
  Imagen im{ancho, alto, canales, {}};
  std::mt19937 g(semilla);
  for (int i = 0; i < ancho * alto * canales; ++i)
    im.pixeles.push_back(static_cast<unsigned char>(g()));
  return im;
}

Bytes Png(const Imagen& im, const std::string& ruta) {
  EXPECT_NE(stbi_write_png(ruta.c_str(), im.ancho, im.alto, im.canales, im.pixeles.data(),
                           im.ancho * im.canales),
            0);
  return LeeArchivo(ruta);
}

std::vector<std::string> Temporales(const std::string& carpeta) {
  std::vector<std::string> r;
  for (const auto& e : fs::directory_iterator(carpeta))
    if (e.path().extension() == ".tmp") r.push_back(e.path().string());
  return r;
}

class ServiciosImagen : public ::testing::Test {
 protected:
  void SetUp() override { EstableceCarpetaPrograma(programa.Ruta()); }

  // The one message shown, which must be an error box of the program.
  std::string UnicoMensaje() {
    EXPECT_EQ(ventana.mensajes.size(), 1u);
    if (ventana.mensajes.empty()) return "";
    const auto& m = ventana.mensajes.front();
    EXPECT_EQ(m.botones, Botones::Aceptar);
    EXPECT_EQ(m.icono, Icono::Ninguno);
    EXPECT_EQ(m.titulo, "VarloDI");
    return m.texto;
  }

  CarpetaTemporal programa;  // the program's folder, where temporaries go
  CarpetaTemporal datos;
  VentanaFalsa ventana;
  cls_ADODBServices servicios{ventana};
  RecordsetFalso rs{2};
};

TEST_F(ServiciosImagen, PutImageInFieldTomaElArchivoEnteroOLoDejaComoEstaba) {
  const std::string foto = datos.Archivo("foto.jpg");
  prueba::EscribeBytes(foto, std::string("\xFF\xD8\0\x01\xFF\xD9", 6));
  EXPECT_TRUE(servicios.PutImageInField(rs, 1, foto));
  EXPECT_EQ(std::get<Bytes>(rs.valores[1]), (Bytes{0xFF, 0xD8, 0, 1, 0xFF, 0xD9}));

  // An empty file gives an empty byte array, not NULL.
  const std::string vacio = datos.Archivo("vacio.jpg");
  prueba::EscribeBytes(vacio, "");
  EXPECT_TRUE(servicios.PutImageInField(rs, 0, vacio));
  ASSERT_TRUE(std::holds_alternative<Bytes>(rs.valores[0]));
  EXPECT_TRUE(std::get<Bytes>(rs.valores[0]).empty());
  EXPECT_TRUE(ventana.mensajes.empty());

  // A missing file or a folder is reported and the field keeps its value.
  const std::string falta = datos.Archivo("no-existe.jpg");
  EXPECT_FALSE(servicios.PutImageInField(rs, 1, falta));
  EXPECT_EQ(UnicoMensaje(), "ERROR: No se encontró el archivo (" + falta + ")");
  EXPECT_EQ(std::get<Bytes>(rs.valores[1]), (Bytes{0xFF, 0xD8, 0, 1, 0xFF, 0xD9}));
  ventana.mensajes.clear();
  EXPECT_FALSE(servicios.PutImageInField(rs, 1, datos.Ruta()));
  EXPECT_EQ(UnicoMensaje(), "ERROR: Error de acceso a la ruta o el archivo (" + datos.Ruta() + ")");
  EXPECT_EQ(std::get<Bytes>(rs.valores[1]), (Bytes{0xFF, 0xD8, 0, 1, 0xFF, 0xD9}));

  // A column that refuses the value.
  ventana.mensajes.clear();
  rs.rechazaAsignacion = true;
  EXPECT_FALSE(servicios.PutImageInField(rs, 0, foto));
  EXPECT_EQ(UnicoMensaje(), "ERROR: La columna rechazó el valor");
}

TEST_F(ServiciosImagen, PutLargeImageInFieldAnadePrimeroElRestoYLuegoTrozosEnteros) {
  struct Caso {
    std::size_t tamano;
    std::vector<std::size_t> trozos;
  };
  for (const Caso& c : {Caso{0, {0}}, Caso{1024, {0, 1024}}, Caso{1500, {476, 1024}},
                        Caso{3000, {952, 1024, 1024}}}) {
    SCOPED_TRACE(c.tamano);
    std::string contenido;
    for (std::size_t i = 0; i < c.tamano; ++i) contenido += static_cast<char>(i * 7 + i / 256);
    const std::string ruta = datos.Archivo("grande.bin");
    prueba::EscribeBytes(ruta, contenido);
    RecordsetFalso r(1);
    r.valores[0] = BytesDe("valor anterior que no debe quedar");
    EXPECT_TRUE(servicios.PutLargeImageInField(r, 0, ruta));
    EXPECT_EQ(r.trozosAnadidos, c.trozos);
    EXPECT_EQ(std::get<Bytes>(r.valores[0]), BytesDe(contenido));
  }
  EXPECT_TRUE(ventana.mensajes.empty());

  rs.valores[0] = BytesDe("previo");
  const std::string falta = datos.Archivo("falta.bin");
  EXPECT_FALSE(servicios.PutLargeImageInField(rs, 0, falta));
  EXPECT_EQ(UnicoMensaje(), "ERROR: No se encontró el archivo (" + falta + ")");
  EXPECT_TRUE(rs.trozosAnadidos.empty());
  EXPECT_EQ(std::get<Bytes>(rs.valores[0]), BytesDe("previo"));
}

TEST_F(ServiciosImagen, ImagenGrandeIdaYVueltaPorTrozos) {
  const Imagen original = ImagenRuido(30, 20, 3, 7);
  const Bytes png = Png(original, datos.Archivo("ruido.png"));
  ASSERT_GT(png.size(), 1024u);
  ASSERT_NE(png.size() % 1024, 0u);

  EXPECT_TRUE(servicios.PutLargeImageInField(rs, 1, datos.Archivo("ruido.png")));
  EXPECT_EQ(std::get<Bytes>(rs.valores[1]), png);

  std::optional<Imagen> leida = servicios.GetLargeImageFromField(rs, 1);
  ASSERT_TRUE(leida.has_value()) << (ventana.mensajes.empty() ? "" : ventana.mensajes[0].texto);
  EXPECT_EQ(leida->ancho, 30);
  EXPECT_EQ(leida->alto, 20);
  EXPECT_EQ(leida->canales, 3);
  EXPECT_EQ(leida->pixeles, original.pixeles);
  // The same order when reading back: the remainder first.
  std::vector<std::size_t> esperados{png.size() % 1024};
  for (std::size_t i = 0; i < png.size() / 1024; ++i) esperados.push_back(1024);
  EXPECT_EQ(rs.trozosPedidos, esperados);
  EXPECT_TRUE(Temporales(programa.Ruta()).empty());
}

TEST_F(ServiciosImagen, GetImageFromFieldDecodificaPngYJpeg) {
  const Imagen original = ImagenRuido(5, 4, 4, 11);
  rs.valores[0] = Png(original, datos.Archivo("a.png"));
  std::optional<Imagen> png = servicios.GetImageFromField(rs, 0);
  ASSERT_TRUE(png.has_value());
  EXPECT_EQ(png->canales, 4);
  EXPECT_EQ(png->pixeles, original.pixeles);

  Imagen gris{8, 8, 3, std::vector<unsigned char>(8 * 8 * 3, 128)};
  const std::string jpg = datos.Archivo("a.jpg");
  ASSERT_NE(stbi_write_jpg(jpg.c_str(), 8, 8, 3, gris.pixeles.data(), 90), 0);
  rs.valores[1] = LeeArchivo(jpg);
  std::optional<Imagen> jpeg = servicios.GetImageFromField(rs, 1);
  ASSERT_TRUE(jpeg.has_value());
  EXPECT_EQ(jpeg->ancho, 8);
  EXPECT_EQ(jpeg->alto, 8);
  for (unsigned char p : jpeg->pixeles) EXPECT_NEAR(p, 128, 3);

  EXPECT_TRUE(ventana.mensajes.empty());
  EXPECT_TRUE(Temporales(programa.Ruta()).empty());
}

TEST_F(ServiciosImagen, GetImageFromFieldRechazaNuloTextoYBytesQueNoSonImagen) {
  struct Caso {
    db::Valor valor;
    std::string mensaje;
  };
  for (const Caso& c : {Caso{db::Valor{}, "ERROR: Uso no válido de Null"},
                        Caso{std::string("texto"), "ERROR: No coinciden los tipos"},
                        Caso{BytesDe("no es una imagen"), "ERROR: Imagen no válida"}}) {
    ventana.mensajes.clear();
    rs.valores[0] = c.valor;
    EXPECT_FALSE(servicios.GetImageFromField(rs, 0).has_value());
    EXPECT_EQ(UnicoMensaje(), c.mensaje);
    ventana.mensajes.clear();
    EXPECT_FALSE(servicios.GetLargeImageFromField(rs, 0).has_value());
    EXPECT_EQ(UnicoMensaje(), c.mensaje);
  }
  // Nothing is left behind in the program's folder, even after a failure.
  EXPECT_TRUE(Temporales(programa.Ruta()).empty());
}

TEST_F(ServiciosImagen, PutPictureInFieldGuardaUnBmpFiel) {
  const Imagen original = ImagenRuido(6, 3, 3, 3);
  EXPECT_TRUE(servicios.PutPictureInField(rs, 0, original));
  const Bytes& bmp = std::get<Bytes>(rs.valores[0]);
  ASSERT_GE(bmp.size(), 2u);
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(bmp[1], 'M');
  std::optional<Imagen> leida = servicios.GetImageFromField(rs, 0);
  ASSERT_TRUE(leida.has_value());
  EXPECT_EQ(leida->pixeles, original.pixeles);

  Imagen incompleta{4, 4, 3, std::vector<unsigned char>(10)};
  EXPECT_FALSE(servicios.PutPictureInField(rs, 1, incompleta));
  EXPECT_EQ(UnicoMensaje(), "ERROR: Imagen no válida");
  EXPECT_TRUE(std::holds_alternative<std::monostate>(rs.valores[1]));
  EXPECT_TRUE(Temporales(programa.Ruta()).empty());
}

TEST_F(ServiciosImagen, SaveImageToFileReemplazaUnDestinoDeSoloLectura) {
  const std::string destino = datos.Archivo("salida.jpg");
  prueba::EscribeBytes(destino, "contenido viejo y más largo que el nuevo");
  fs::permissions(destino, fs::perms::owner_read | fs::perms::group_read,
                  fs::perm_options::replace);
  rs.valores[0] = BytesDe("nuevo");
  EXPECT_TRUE(servicios.SaveImageToFile(rs, 0, destino));
  EXPECT_EQ(prueba::LeeBytes(destino), "nuevo");
  EXPECT_TRUE(ventana.mensajes.empty());

  const std::string sinCarpeta = datos.Archivo("no/hay/carpeta.jpg");
  EXPECT_FALSE(servicios.SaveImageToFile(rs, 0, sinCarpeta));
  EXPECT_EQ(UnicoMensaje(), "ERROR: Error de acceso a la ruta o el archivo (" + sinCarpeta + ")");
  EXPECT_TRUE(Temporales(programa.Ruta()).empty());
}

TEST_F(ServiciosImagen, NombresTemporalesUnicosExclusivosYSinSeparadorDoble) {
  EstableceCarpetaPrograma(programa.Ruta() + "/");
  const std::regex forma(
      std::regex_replace(programa.Ruta(), std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)") +
      "/[0-9]{8}\\.tmp");
  std::set<std::string> nombres;
  for (int i = 0; i < 200; ++i) {
    const std::string n = servicios.BuildTempFileName();
    EXPECT_TRUE(std::regex_match(n, forma)) << n;
    EXPECT_TRUE(fs::is_regular_file(n)) << n;
    nombres.insert(n);
  }
  EXPECT_EQ(nombres.size(), 200u);

  // Two services with the same seed propose the same names; the second must
  // pass over the file the first created and leave it alone.
  VentanaFalsa otra;
  cls_ADODBServices primero(otra, 42), segundo(otra, 42);
  const std::string tomado = primero.BuildTempFileName();
  prueba::EscribeBytes(tomado, "en uso");
  const std::string siguiente = segundo.BuildTempFileName();
  EXPECT_NE(siguiente, tomado);
  EXPECT_EQ(prueba::LeeBytes(tomado), "en uso");
  EXPECT_TRUE(fs::is_regular_file(siguiente));

  EstableceCarpetaPrograma(datos.Archivo("no-existe"));
  try {
    servicios.BuildTempFileName();
    ADD_FAILURE() << "sin error";
  } catch (const ErrorVarlo& e) {
    EXPECT_EQ(e.Numero(), 76);
    EXPECT_EQ(e.Descripcion(),
              "No se encontró la ruta de acceso (" + datos.Archivo("no-existe") + ")");
  }
  rs.valores[0] = BytesDe("x");
  EXPECT_FALSE(servicios.GetImageFromField(rs, 0).has_value());
  EXPECT_EQ(UnicoMensaje(),
            "ERROR: No se encontró la ruta de acceso (" + datos.Archivo("no-existe") + ")");
}

TEST_F(ServiciosImagen, RecordLocationDicePosicionVacioOVoid) {
  struct Caso {
    long posicion, cuenta;
    bool bof, eof, falla;
    std::string texto;
  };
  for (const Caso& c : {Caso{3, 120, false, false, false, "Registro 3 de 120"},
                        Caso{-1, -1, false, false, false, "Registro -1 de -1"},
                        Caso{1, 1, true, false, false, ""}, Caso{1, 1, false, true, false, ""},
                        Caso{1, 1, false, false, true, "VOID"}}) {
    rs.posicion = c.posicion;
    rs.cuenta = c.cuenta;
    rs.bof = c.bof;
    rs.eof = c.eof;
    rs.fallaPosicion = c.falla;
    EXPECT_EQ(servicios.RecordLocation(rs, "Registro "), c.texto);
  }
  EXPECT_TRUE(ventana.mensajes.empty());
}

}  // namespace
}  // namespace varlo
